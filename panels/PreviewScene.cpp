#include "panels/PreviewScene.h"

#include "canvas/DashCanvas.h"
#include "model/InstallRoots.h"
#include "model/XmlParams.h"
#include "panels/SamplePreviewValues.h"

#include <QBrush>
#include <QFont>
#include <QGraphicsPixmapItem>
#include <QGraphicsRectItem>
#include <QGraphicsSimpleTextItem>
#include <QHash>
#include <QPen>
#include <QPixmap>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// Icon graphics by absolute path, shared by every scene for the program's
// life: the dialog redraws the preview on every click.
QHash<QString, QPixmap>& iconCache()
{
    static QHash<QString, QPixmap> cache;
    return cache;
}

bool isParamNamed(pugi::xml_node p, const char* name)
{
    return std::strcmp(p.name(), "p") == 0 && std::strcmp(p.attribute("n").value(), name) == 0;
}

// The last <p n=name> child counts, as RS3 reads a repeated parameter.
pugi::xml_node lastParam(pugi::xml_node element, const char* name)
{
    pugi::xml_node found;
    for (pugi::xml_node p = element.child("p"); p; p = p.next_sibling("p")) {
        if (isParamNamed(p, name))
            found = p;
    }
    return found;
}

int lastParamInt(pugi::xml_node element, const char* name)
{
    return leadingInt(QByteArray(lastParam(element, name).text().get()));
}

pugi::xml_node firstChildOfClass(pugi::xml_node element, const char* cls)
{
    for (pugi::xml_node e = element.child("e"); e; e = e.next_sibling("e")) {
        if (hasClass(e, cls))
            return e;
    }
    return {};
}

QColor boxColour(int kind)
{
    switch (kind) {
    case PreviewScene::KindAnalog:
        return QColor(40, 80, 200, 80);
    case PreviewScene::KindBar:
        return QColor(200, 80, 80, 80);
    case PreviewScene::KindDigit:
        return QColor(40, 180, 60, 80);
    case PreviewScene::KindIcon:
        return QColor(200, 180, 40, 80);
    case PreviewScene::KindLabel:
        return QColor(120, 120, 180, 80);
    default:
        return QColor(128, 128, 128, 80);
    }
}

QPixmap cachedIcon(const QString& path)
{
    QHash<QString, QPixmap>& cache = iconCache();
    const auto it = cache.constFind(path);
    if (it != cache.constEnd() && !it.value().isNull())
        return it.value();
    const QPixmap pixmap = QPixmap::fromImage(DashCanvas::loadImage(path));
    cache.insert(path, pixmap);
    return pixmap;
}

} // namespace

PreviewScene::PreviewScene(QObject* parent) : QGraphicsScene(parent)
{
    setBackgroundBrush(QColor(30, 30, 30));
    setSceneRect(QRectF(QPointF(0, 0), sceneSize));
    showUnavailable();
}

PreviewScene::~PreviewScene() = default;

void PreviewScene::showElement(pugi::xml_node donor, const QString& channelName, const QSizeF& nativeSize)
{
    clear();
    setSceneRect(QRectF(QPointF(0, 0), sceneSize));
    if (donor)
        buildElementPreview(donor, channelName, nativeSize);
    else
        showUnavailable();
}

void PreviewScene::showUnavailable()
{
    QPen pen(QColor(120, 120, 120), 1, Qt::DashLine);
    addRect(sceneRect().adjusted(8, 8, -8, -8), pen, QBrush(QColor(40, 40, 40)));
    auto* text = addSimpleText(tr("Preview unavailable"));
    text->setBrush(QColor(180, 180, 180));
    text->setPos(sceneRect().center() - text->boundingRect().center());
}

int PreviewScene::previewKind(pugi::xml_node donor)
{
    static const struct {
        const char* cls;
        int kind;
    } order[] = {{"Analog", KindAnalog}, {"BargraphTrapezio", KindBar}, {"Digit", KindDigit},
                 {"AiM_Icona", KindIcon}, {"Label", KindLabel}};
    for (const auto& row : order) {
        if (firstChildOfClass(donor, row.cls))
            return row.kind;
    }
    return KindOther;
}

QString PreviewScene::valueText(const QString& channelName)
{
    const QVariant value = SamplePreviewValues::valueFor(channelName);
    if (value.typeId() == QMetaType::QString)
        return value.toString();
    const double number = value.toDouble();
    const double magnitude = std::fabs(number);
    const int decimals = magnitude >= 1000.0 ? 0 : magnitude >= 1.0 ? 1 : 2;
    return QString::number(number, 'f', decimals);
}

void PreviewScene::buildElementPreview(pugi::xml_node donor, const QString& channelName, const QSizeF& nativeSize)
{
    double w = nativeSize.width();
    double h = nativeSize.height();
    if (!(w > 0 && h > 0)) {
        const int declaredW = lastParamInt(donor, "WIDTH");
        const int declaredH = lastParamInt(donor, "HEIGHT");
        w = declaredW < 1 ? 120 : declaredW;
        h = declaredH < 1 ? 60 : declaredH;
    }
    const int kind = previewKind(donor);
    const double k = std::min(sceneSize.width() * 0.85 / w, sceneSize.height() * 0.85 / h);
    QRectF box(0, 0, w * k, h * k);
    box.moveCenter(sceneRect().center());

    if (kind == KindIcon && addIconGraphic(donor, box))
        return;
    addRect(box, QPen(QColor(200, 200, 200), 1, Qt::SolidLine), QBrush(boxColour(kind)));
    addValueTexts(donor, channelName, box, kind, int(h));
}

bool PreviewScene::addIconGraphic(pugi::xml_node donor, const QRectF& box)
{
    const pugi::xml_node icon = firstChildOfClass(donor, "AiM_Icona");
    const QString graphic = QString::fromUtf8(lastParam(icon, "OVERLAY2_ICONA_NERA").text().get());
    const QString path = resolveAssetPath(graphic);
    if (path.isEmpty())
        return false;
    const QPixmap pixmap = cachedIcon(path);
    if (pixmap.isNull())
        return false;
    const QPixmap scaled = pixmap.scaled(box.size().toSize(), Qt::KeepAspectRatio, Qt::SmoothTransformation);
    auto* item = addPixmap(scaled);
    item->setPos(box.center() - QPointF(scaled.width() / 2.0, scaled.height() / 2.0));
    return true;
}

void PreviewScene::addValueTexts(pugi::xml_node donor, const QString& channelName, const QRectF& box, int kind,
                                 int height)
{
    if (!channelName.trimmed().isEmpty()) {
        auto* caption = addSimpleText(channelName);
        QFont font;
        font.setPixelSize(std::max(8, int(box.height() * 0.12)));
        caption->setFont(font);
        caption->setBrush(QColor(200, 200, 200));
        caption->setPos(box.left() + 3, box.top() + 2);
    }

    double ratio = 0.4;
    const int charsetDim = lastParamInt(firstChildOfClass(donor, "Digit"), "CHARSET_DIM");
    if (charsetDim > 0)
        ratio = double(charsetDim) / std::max(height, 1);
    QFont font;
    font.setPixelSize(std::max(10, int(box.height() * std::min(ratio, 0.6))));
    font.setWeight(kind == KindAnalog ? QFont::Bold : QFont::Normal);
    auto* value = addSimpleText(valueText(channelName));
    value->setFont(font);
    // Sized by the element's height, the value of a standing bar would run
    // out of its sides: it is made smaller until it fits the width.
    const double room = box.width() * 0.9;
    const double wide = value->boundingRect().width();
    if (wide > room && room > 0) {
        font.setPixelSize(std::max(4, int(font.pixelSize() * room / wide)));
        value->setFont(font);
        while (value->boundingRect().width() > room && font.pixelSize() > 4) {
            font.setPixelSize(font.pixelSize() - 1);
            value->setFont(font);
        }
    }
    value->setBrush(QColor(255, 255, 255));
    value->setPos(box.center() - value->boundingRect().center());
}
