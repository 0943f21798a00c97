#include "editing/ElementParams.h"

#include "editing/HotMouseLines.h"
#include "model/XmlParams.h"

namespace {

// 64-bit sum, so a position near the integer limit cannot wrap.
QByteArray number(qint64 value)
{
    return QByteArray::number(value);
}

} // namespace

void appendLabelParams(pugi::xml_node label, int x, int y, const QString& text, const QString& font)
{
    if (!label)
        return;
    constexpr int kHeight = 24;
    const QByteArray baseline = number(qint64(y) + kHeight);
    appendParam(label, "AXIS_REF", QByteArray());
    appendParam(label, "CHARSET_DIM", "18");
    appendParam(label, "CHAR_SET_ID_2", font.toUtf8());
    appendParam(label, "COLORE", "0xffffffff");
    appendParam(label, "CONTROLLO_NO_AUTOAGGIORNABILE", "0");
    appendParam(label, "FORMAT", "generico");
    appendParam(label, "FW_DEBUG", "0");
    appendParam(label, "HEIGHT", number(kHeight));
    appendParam(label, "NUM_CHARS", "16");
    appendParam(label, "POS_ALIGN", "bl");
    appendParam(label, "TEXT", text.toUtf8());
    appendParam(label, "UPDATE_TIME", "0");
    appendParam(label, "USA_CONTROLLI_RIPOSIZIONABILI", "0");
    appendParam(label, "WIDTH", "120");
    appendParam(label, "XPOS", number(x));
    appendParam(label, "XPOS_FW", number(x));
    appendParam(label, "YPOS", baseline);
    appendParam(label, "YPOS_FW", baseline);
}

void appendDigitParams(pugi::xml_node digit, int x, int y, int width, int height, const QString& channelRef,
                       const QRect& hotMouse, const QString& font, const ChannelCategoryInfo& size)
{
    if (!digit)
        return;
    const bool sized = size.fontPx >= 1 && size.digits >= 1;
    appendParam(digit, "AXIS_REF", channelRef.toUtf8());
    appendParam(digit, "CHARSET_DIM", number(sized ? size.fontPx : 24));
    appendParam(digit, "CHAR_SET_ID_2", font.toUtf8());
    appendParam(digit, "COLORE", "0xffffffff");
    appendParam(digit, "CONTROLLO_NO_AUTOAGGIORNABILE", "0");
    appendParam(digit, "FORMAT", "generico");
    appendParam(digit, "FW_DEBUG", "0");
    appendParam(digit, "HEIGHT", number(height));
    appendParam(digit, "NUM_CHARS", number(sized ? size.digits : 5));
    appendParam(digit, "POS_ALIGN", "bc");
    appendParam(digit, "UPDATE_TIME", "0");
    appendParam(digit, "USA_CONTROLLI_RIPOSIZIONABILI", "0");
    appendParam(digit, "WIDTH", number(width));
    appendParam(digit, "XPOS", number(x));
    appendParam(digit, "XPOS_FW", number(x));
    appendParam(digit, "YPOS", number(y));
    appendParam(digit, "YPOS_FW", number(y));
    const std::string outline = hotMouseLines(hotMouse.x(), hotMouse.y(), hotMouse.width(), hotMouse.height());
    appendParam(digit, "LINES_X_HOT_MOUSE", QByteArray::fromStdString(outline));
    appendParam(digit, "LINES_X_HOT_MOUSE_COLOR", "0xffff0000");
}
