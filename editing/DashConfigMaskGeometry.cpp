#include "model/DashConfig.h"

#include "editing/ChildGeometrySnapshot.h"
#include "model/XmlParams.h"

#include <QByteArrayList>
#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

pugi::xml_node firstParamNamed(pugi::xml_node element, const char* name)
{
    for (pugi::xml_node p = element.child("p"); p; p = p.next_sibling("p")) {
        if (std::strcmp(p.attribute("n").value(), name) == 0)
            return p;
    }
    return {};
}

bool isSizedChildClass(pugi::xml_node e)
{
    return hasClass(e, "Digit") || hasClass(e, "Label") || hasClass(e, "Bargraph")
        || hasClass(e, "BargraphTrapezio") || hasClass(e, "AiM_Icona");
}

// The outline's points when it is a usable polygon: an even count of at
// least six numbers, all of them integers.
bool readOutline(const QByteArray& text, std::vector<long long>& numbers)
{
    const QByteArrayList parts = text.split(',');
    if (parts.size() < 6 || parts.size() % 2 != 0)
        return false;
    numbers.clear();
    for (const QByteArray& part : parts) {
        bool ok = false;
        const long long v = part.trimmed().toLongLong(&ok, 10);
        if (!ok)
            return false;
        numbers.push_back(v);
    }
    return true;
}

} // namespace

std::vector<ChildGeometrySnapshot> DashConfig::textChildGeometry(int pageIndex, int maskIndex)
{
    std::vector<ChildGeometrySnapshot> out;
    const PageModel* p = page(pageIndex);
    if (!p || maskIndex < 0 || maskIndex >= static_cast<int>(p->masks.size()))
        return out;
    const pugi::xml_node node = p->masks[static_cast<size_t>(maskIndex)].node;
    for (pugi::xml_node e = node.child("e"); e; e = e.next_sibling("e")) {
        if (!hasClass(e, "Digit") && !hasClass(e, "Label"))
            continue;
        ChildGeometrySnapshot s;
        s.id = QString::fromUtf8(e.attribute("i").value());
        s.xpos = findParamText(e, "XPOS");
        s.ypos = findParamText(e, "YPOS");
        s.width = findParamText(e, "WIDTH");
        s.height = findParamText(e, "HEIGHT");
        s.hotMouseLines = findParamText(e, "LINES_X_HOT_MOUSE");
        out.push_back(s);
    }
    return out;
}

int DashConfig::scaleHotMouseLines(pugi::xml_node maskNode, int oldW, int oldH, int newW, int newH,
                                   bool includeSmall)
{
    if (!maskNode || oldW < 1 || oldH < 1 || newW < 1 || newH < 1 || (oldW == newW && oldH == newH))
        return 0;
    int rewritten = 0;
    std::vector<long long> numbers;
    for (pugi::xml_node e = maskNode.child("e"); e; e = e.next_sibling("e")) {
        const bool special = includeSmall && isSizedChildClass(e);
        pugi::xml_node param = firstParamNamed(e, "LINES_X_HOT_MOUSE");
        if (!param)
            continue;
        const QByteArray text(param.text().get());
        if (!readOutline(text, numbers))
            continue;
        long long minX = numbers[0], maxX = numbers[0], minY = numbers[1], maxY = numbers[1];
        for (size_t i = 0; i < numbers.size(); i += 2) {
            minX = std::min(minX, numbers[i]);
            maxX = std::max(maxX, numbers[i]);
            minY = std::min(minY, numbers[i + 1]);
            maxY = std::max(maxY, numbers[i + 1]);
        }
        if (minX < 0 || minY < 0 || maxX > 100000 || maxY > 100000 || maxX <= minX || maxY <= minY)
            continue;
        // Outlines of small parts inside the mask keep their place unless
        // the caller asks for them too; the mask-wide outline follows the box.
        if (!special && ((maxX - minX) * 10 < static_cast<long long>(oldW) * 8
                         || (maxY - minY) * 10 < static_cast<long long>(oldH) * 8))
            continue;
        QByteArrayList scaled;
        for (size_t i = 0; i < numbers.size(); i += 2) {
            scaled << QByteArray::number(std::llround(double(numbers[i]) * newW / oldW));
            scaled << QByteArray::number(std::llround(double(numbers[i + 1]) * newH / oldH));
        }
        const QByteArray result = scaled.join(',');
        if (result == text)
            continue;
        while (param.first_child())
            param.remove_child(param.first_child());
        param.append_child(pugi::node_pcdata).set_value(result.constData());
        ++rewritten;
    }
    return rewritten;
}
