#include "model/XmlParams.h"

#include "model/StringWriter.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

pugi::xml_node firstParam(pugi::xml_node node, const char* name)
{
    for (pugi::xml_node p = node.child("p"); p; p = p.next_sibling("p")) {
        if (std::strcmp(p.attribute("n").value(), name) == 0)
            return p;
    }
    return {};
}

void clearChildren(pugi::xml_node node)
{
    while (node.first_child())
        node.remove_child(node.first_child());
}

void writeParam(pugi::xml_node node, const char* name, const QByteArray& value, bool alwaysText)
{
    if (!node || !name)
        return;
    pugi::xml_node p = firstParam(node, name);
    if (p) {
        clearChildren(p);
    } else {
        p = node.append_child("p");
        p.append_attribute("n").set_value(name);
    }
    if (alwaysText || !value.isEmpty())
        p.append_child(pugi::node_pcdata).set_value(value.constData());
}

} // namespace

QByteArray paramValue(pugi::xml_node node, const char* name)
{
    if (!node || !name)
        return {};
    return QByteArray(firstParam(node, name).text().get());
}

void setParam(pugi::xml_node node, const char* name, const QByteArray& value)
{
    writeParam(node, name, value, false);
}

void setParamStd(pugi::xml_node node, const char* name, const QByteArray& value)
{
    writeParam(node, name, value, true);
}

void appendParam(pugi::xml_node node, const char* name, const QByteArray& value)
{
    if (!node || !name)
        return;
    pugi::xml_node p = node.append_child("p");
    p.append_attribute("n").set_value(name);
    if (!value.isEmpty())
        p.append_child(pugi::node_pcdata).set_value(value.constData());
}

void setElementId(pugi::xml_node node, const QString& id)
{
    if (!node)
        return;
    node.remove_attribute("i");
    node.append_attribute("i").set_value(id.toUtf8().constData());
}

void removeParams(pugi::xml_node node, const char* name)
{
    if (!node || !name)
        return;
    pugi::xml_node p = node.child("p");
    while (p) {
        pugi::xml_node next = p.next_sibling("p");
        if (std::strcmp(p.attribute("n").value(), name) == 0)
            node.remove_child(p);
        p = next;
    }
}

void setSoleParam(pugi::xml_node node, const char* name, const QByteArray& value)
{
    setParam(node, name, value);
    const pugi::xml_node first = node && name ? firstParam(node, name) : pugi::xml_node();
    for (pugi::xml_node p = first.next_sibling("p"); p;) {
        const pugi::xml_node next = p.next_sibling("p");
        if (std::strcmp(p.attribute("n").value(), name) == 0)
            node.remove_child(p);
        p = next;
    }
}

void replaceParam(pugi::xml_node node, const char* name, const QString& value, bool present)
{
    removeParams(node, name);
    if (present)
        setParam(node, name, value.toUtf8());
}

void setParamInt(pugi::xml_node node, const char* name, int value)
{
    if (!node || !name)
        return;
    pugi::xml_node p = firstParam(node, name);
    if (!p)
        return;
    const QByteArray old(p.text().get());
    const int comma = old.indexOf(',');
    QByteArray text = QByteArray::number(value);
    if (comma >= 0)
        text += old.mid(comma);
    clearChildren(p);
    p.append_child(pugi::node_pcdata).set_value(text.constData());
}

void setRectParams(pugi::xml_node node, const QRect& rect)
{
    setParam(node, "XPOS", QByteArray::number(rect.x()));
    setParam(node, "YPOS", QByteArray::number(rect.y()));
    setParam(node, "WIDTH", QByteArray::number(rect.width()));
    setParam(node, "HEIGHT", QByteArray::number(rect.height()));
}

int readParamInt(pugi::xml_node node, const char* name)
{
    QString text = QString::fromUtf8(paramValue(node, name));
    const int comma = text.indexOf(QLatin1Char(','));
    if (comma >= 1)
        text.truncate(comma);
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    return ok ? value : 0;
}

int leadingInt(const QByteArray& text)
{
    int i = 0;
    const int n = text.size();
    while (i < n && (text[i] == ' ' || text[i] == '\t' || text[i] == '\n' || text[i] == '\r'
                     || text[i] == '\v' || text[i] == '\f'))
        ++i;
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    long long value = 0;
    while (i < n && text[i] >= '0' && text[i] <= '9') {
        value = value * 10 + (text[i] - '0');
        if (value > 2147483648LL)
            value = 2147483648LL; // saturate instead of overflowing
        ++i;
    }
    if (negative)
        value = -value;
    if (value > 2147483647LL)
        value = 2147483647LL;
    return static_cast<int>(value);
}

bool elementDeclaredSize(pugi::xml_node node, int& width, int& height)
{
    width = 0;
    height = 0;
    for (pugi::xml_node p = node.child("p"); p; p = p.next_sibling("p")) {
        const char* n = p.attribute("n").value();
        if (std::strcmp(n, "WIDTH") == 0)
            width = leadingInt(QByteArray(p.text().get()));
        else if (std::strcmp(n, "HEIGHT") == 0)
            height = leadingInt(QByteArray(p.text().get()));
    }
    return width >= 1 && height >= 1;
}

void setLabelTextParams(pugi::xml_node node, const QString& text)
{
    if (!node)
        return;
    setParam(node, "TEXT", text.toUtf8());
    setParam(node, "CONTROLLO_NO_AUTOAGGIORNABILE", QByteArrayLiteral("1"));
}

QString findParamText(pugi::xml_node node, const char* name)
{
    return QString::fromUtf8(paramValue(node, name));
}

bool hasClass(pugi::xml_node node, const char* cls)
{
    return std::strcmp(node.attribute("c").value(), cls) == 0;
}

QByteArray formatDouble6g(double value)
{
    if (std::isfinite(value) && value == std::floor(value) && std::fabs(value) < 1e9)
        return QByteArray::number(static_cast<qlonglong>(value));
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.6g", value);
    return QByteArray(buffer);
}

QString formatArgbColour(const QColor& colour, const QColor& fallback)
{
    const QColor c = colour.isValid() ? colour : fallback;
    return QStringLiteral("0xFF%1%2%3")
        .arg(c.red(), 2, 16, QLatin1Char('0'))
        .arg(c.green(), 2, 16, QLatin1Char('0'))
        .arg(c.blue(), 2, 16, QLatin1Char('0'));
}

QByteArray argbColourText(const QColor& c)
{
    // Every save writes this for every text element: formatted in place.
    char text[16];
    const int n = std::snprintf(text, sizeof text, "0x%02x%02x%02x%02x", unsigned(c.alpha()), unsigned(c.red()),
                                unsigned(c.green()), unsigned(c.blue()));
    return QByteArray(text, n);
}

QString xmlEscape(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar ch : text) {
        if (ch == QLatin1Char('&'))
            out += QLatin1String("&amp;");
        else if (ch == QLatin1Char('<'))
            out += QLatin1String("&lt;");
        else if (ch == QLatin1Char('>'))
            out += QLatin1String("&gt;");
        else
            out += ch;
    }
    return out;
}

QString& overlayRelativeFolder(QString& path)
{
    static const QString prefix = QStringLiteral("aim/resources/overlay/");
    if (path.startsWith(prefix))
        path.remove(0, prefix.size());
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    return path;
}

bool xmlNestingWithin(pugi::xml_node root, int maxDepth)
{
    if (!root)
        return true;
    pugi::xml_node n = root.first_child();
    int depth = 1;
    while (n) {
        if (depth > maxDepth)
            return false;
        if (n.first_child()) {
            n = n.first_child();
            ++depth;
            continue;
        }
        while (n != root && !n.next_sibling()) {
            n = n.parent();
            --depth;
        }
        if (n == root)
            break;
        n = n.next_sibling();
    }
    return true;
}

QByteArray xmlDocumentBytes(const pugi::xml_document& doc, const char* indent, qsizetype expectedSize)
{
    StringWriter out;
    if (expectedSize > 0)
        out.buffer.reserve(expectedSize);
    doc.save(out, indent, pugi::format_indent, pugi::encoding_auto);
    return out.buffer;
}
