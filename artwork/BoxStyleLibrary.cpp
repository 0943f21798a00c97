#include "artwork/BoxStyleLibrary.h"

namespace {

BoxStyle makeStyle(const char* id, const char* name)
{
    BoxStyle s;
    s.id = QString::fromLatin1(id);
    s.displayName = QString::fromLatin1(name);
    return s;
}

void flatFill(BoxStyle& s, const QColor& colour)
{
    s.fill = true;
    s.fillTop = colour;
    s.fillBottom = colour;
}

void accentStripe(BoxStyle& s, int side, const QColor& colour, bool usesAccent)
{
    s.accentSide = side;
    s.accentColor = colour;
    s.accentUsesAccent = usesAccent;
}

QList<BoxStyle> buildCatalogue()
{
    const QColor kPanel(20, 25, 31);
    const QColor kSlate(58, 69, 84);
    const QColor kAccentBlue(90, 170, 255);
    QList<BoxStyle> list;

    list.append(makeStyle("clean", "Clean (no box)"));

    BoxStyle s = makeStyle("panel_dark", "Panel Dark");
    flatFill(s, kPanel);
    s.rounded = true;
    list.append(s);

    s = makeStyle("panel_outline", "Panel Outline");
    s.rounded = true;
    s.border = true;
    s.borderColor = kSlate;
    list.append(s);

    s = makeStyle("solid_blue", "Solid Blue");
    flatFill(s, QColor(14, 42, 74));
    s.rounded = true;
    list.append(s);

    s = makeStyle("gradient_steel", "Gradient Steel");
    s.fill = true;
    s.verticalGradient = true;
    s.fillTop = QColor(28, 37, 48);
    s.fillBottom = QColor(11, 14, 18);
    s.rounded = true;
    list.append(s);

    s = makeStyle("accent_bottom", "Accent Bottom");
    flatFill(s, kPanel);
    s.rounded = true;
    accentStripe(s, 2, kAccentBlue, true);
    list.append(s);

    s = makeStyle("accent_top", "Accent Top");
    flatFill(s, kPanel);
    s.rounded = true;
    accentStripe(s, 1, kAccentBlue, true);
    list.append(s);

    s = makeStyle("accent_left", "Accent Left");
    flatFill(s, kPanel);
    s.rounded = true;
    accentStripe(s, 3, kAccentBlue, true);
    list.append(s);

    s = makeStyle("stripe_only", "Stripe Only");
    accentStripe(s, 2, kAccentBlue, true);
    list.append(s);

    s = makeStyle("cut_corner", "Cut Corner");
    flatFill(s, kPanel);
    s.cutCorner = true;
    list.append(s);

    s = makeStyle("double_frame", "Double Frame");
    flatFill(s, kPanel);
    s.rounded = true;
    s.border = true;
    s.borderColor = kSlate;
    s.innerFrame = true;
    s.innerFrameColor = kAccentBlue;
    s.innerFrameUsesAccent = true;
    list.append(s);

    s = makeStyle("warn_red", "Warn Red");
    flatFill(s, QColor(42, 14, 14));
    s.rounded = true;
    s.border = true;
    s.borderColor = QColor(220, 60, 60);
    list.append(s);

    s = makeStyle("warn_amber", "Warn Amber");
    flatFill(s, QColor(42, 32, 8));
    s.rounded = true;
    accentStripe(s, 2, QColor(255, 176, 0), false);
    list.append(s);

    s = makeStyle("team_stripe", "Team Stripe");
    flatFill(s, kPanel);
    s.rounded = true;
    s.innerFrame = true;
    s.innerFrameColor = QColor(255, 255, 255);
    accentStripe(s, 1, kAccentBlue, true);
    list.append(s);

    s = makeStyle("color_border", "Color Border");
    flatFill(s, kPanel);
    s.rounded = true;
    s.border = true;
    s.borderColor = kAccentBlue;
    s.borderUsesAccent = true;
    list.append(s);

    return list;
}

} // namespace

const QList<BoxStyle>& BoxStyleLibrary::catalogue()
{
    static const QList<BoxStyle> list = buildCatalogue();
    return list;
}

const BoxStyle* BoxStyleLibrary::findById(const QString& id)
{
    for (const BoxStyle& style : catalogue()) {
        if (style.id == id)
            return &style;
    }
    return nullptr;
}

bool BoxStyleLibrary::usesAccentColor(const QString& id)
{
    const BoxStyle* style = findById(id);
    return style && (style->accentUsesAccent || style->innerFrameUsesAccent || style->borderUsesAccent);
}

QString cleanBoxStyleId()
{
    return QStringLiteral("clean");
}
