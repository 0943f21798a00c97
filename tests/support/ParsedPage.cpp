#include "support/ParsedPage.h"

#include "model/DashConfig.h"

ParsedPage::ParsedPage(const QList<FixtureElement>& masks, QSize size)
{
    QByteArray xml = "<e c=\"GPageParam\" i=\"p00\">\n";
    for (const FixtureElement& m : masks)
        xml += m.toXml(1);
    xml += "</e>\n";
    page.width = size.width();
    page.height = size.height();
    if (!m_doc.load_buffer(xml.constData(), size_t(xml.size())))
        return;
    DashConfig parser;
    const pugi::xml_node pageNode = m_doc.first_child();
    for (pugi::xml_node m = pageNode.child("e"); m; m = m.next_sibling("e"))
        page.masks.push_back(parser.parseMask(m));
}
