#include "panels/BarTemplateBrowser.h"

#include "artwork/BarTemplateLibrary.h"

#include <QDialogButtonBox>
#include <QFont>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const QSize kTileSize(220, 96);

struct FillLook {
    QColor colour;
    double share; // of the track's length
};

FillLook fillLookFor(int kind)
{
    switch (kind) {
    case 0: return {QColor(QStringLiteral("#e64545")), 0.78};
    case 1:
    case 2: return {QColor(QStringLiteral("#4ea0e6")), 0.62};
    case 3: return {QColor(QStringLiteral("#e6a14e")), 0.55};
    case 4: return {QColor(QStringLiteral("#e6634e")), 0.5};
    case 5: return {QColor(QStringLiteral("#74c574")), 0.3};
    case 6: return {QColor(QStringLiteral("#a17ce6")), 0.65};
    default: return {QColor(QStringLiteral("#888")), 0.5};
    }
}

QString pickText()
{
    return BarTemplateBrowser::tr("Pick a template to see details.");
}

} // namespace

BarTemplateBrowser::BarTemplateBrowser(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(tr("Pick a Bar template"));
    resize(820, 420);
    auto* layout = new QVBoxLayout(this);

    auto* intro = new QLabel(tr("<b>Pick a bar template that matches the channel you're going to bind to.</b><br/>"
                                "RPM bars use a 0\u201322k scale; Speed bars use 200\u2013340 km/h; "
                                "Pressure / Temperature / Trim each get their own scale shape."),
                             this);
    intro->setWordWrap(true);
    layout->addWidget(intro);

    list = new QListWidget(this);
    list->setViewMode(QListView::IconMode);
    list->setIconSize(kTileSize);
    list->setGridSize(QSize(244, 156));
    list->setFlow(QListView::LeftToRight);
    list->setWrapping(true);
    list->setResizeMode(QListView::Adjust);
    list->setMovement(QListView::Static);
    list->setSpacing(4);
    list->setUniformItemSizes(true);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setStyleSheet(QStringLiteral("QListWidget { background: #181818; color: #ddd;               "
                                       "border: 1px solid #333; }QListWidget::item { padding: 4px; }"
                                       "QListWidget::item:selected { background: #2a4d75; color: white; }"));
    layout->addWidget(list, 1);

    details = new QLabel(pickText(), this);
    details->setWordWrap(true);
    details->setMinimumHeight(54);
    details->setStyleSheet(QStringLiteral("QLabel { background: #2a2a2a; color: #ccc; padding: 8px; }"));
    layout->addWidget(details);

    buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(tr("Use this template"));
    buttons->button(QDialogButtonBox::Ok)->setEnabled(false);
    layout->addWidget(buttons);

    connect(list, &QListWidget::itemSelectionChanged, this, &BarTemplateBrowser::onSelectionChanged);
    connect(list, &QListWidget::itemDoubleClicked, this, &BarTemplateBrowser::onAccept);
    connect(buttons, &QDialogButtonBox::accepted, this, &BarTemplateBrowser::onAccept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    fillList();
}

void BarTemplateBrowser::fillList()
{
    for (const BarTemplate& tpl : BarTemplateLibrary::catalogue()) {
        auto* item = new QListWidgetItem(QIcon(makeTemplateIcon(tpl, kTileSize)), tpl.title, list);
        item->setData(Qt::UserRole, tpl.id);
        item->setToolTip(tpl.description);
        item->setTextAlignment(Qt::AlignHCenter);
    }
    if (list->count() > 0)
        list->setCurrentRow(0);
}

void BarTemplateBrowser::selectTemplate(const QString& id)
{
    for (int row = 0; row < list->count(); ++row) {
        if (list->item(row)->data(Qt::UserRole).toString() == id) {
            list->setCurrentRow(row);
            return;
        }
    }
}

void BarTemplateBrowser::onSelectionChanged()
{
    const QListWidgetItem* item = list->currentItem();
    const BarTemplate* tpl = item ? BarTemplateLibrary::findById(item->data(Qt::UserRole).toString()) : nullptr;
    buttons->button(QDialogButtonBox::Ok)->setEnabled(tpl != nullptr);
    if (!tpl) {
        details->setText(pickText());
        return;
    }
    details->setText(QStringLiteral("<b>%1</b><br/>%2<br/><span style=\"color:#888\">Default size %3 \u00d7 %4 px</span>")
                         .arg(tpl->title.toHtmlEscaped(), tpl->description.toHtmlEscaped(),
                              QString::number(tpl->width), QString::number(tpl->height)));
}

void BarTemplateBrowser::onAccept()
{
    const QListWidgetItem* item = list->currentItem();
    if (!item)
        return;
    chosen = item->data(Qt::UserRole).toString();
    accept();
}

QPixmap BarTemplateBrowser::makeTemplateIcon(const BarTemplate& tpl, const QSize& size)
{
    const int w = size.width();
    const int h = size.height();
    QPixmap pixmap(size);
    pixmap.fill(QColor(QStringLiteral("#1f1f1f")));
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);

    p.setPen(QColor(QStringLiteral("#3a3a3a")));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(0.5, 0.5, w - 1, h - 1), 6, 6);

    const int trackLength = w - 24;
    const int trackTop = h / 2 - 8;
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(QStringLiteral("#303030")));
    p.drawRoundedRect(QRect(12, trackTop, trackLength, 16), 3, 3);

    const bool trim = tpl.kind == 5;
    const int centre = trackLength / 2 + 12;
    const FillLook look = fillLookFor(tpl.kind);
    p.setBrush(look.colour);
    p.drawRoundedRect(QRect(trim ? centre : 12, trackTop, int(trackLength * look.share), 16), 3, 3);

    if (trim) {
        // Half-pixel offsets keep the antialiased mark on one crisp column,
        // rows h/2 - 10 to h/2 + 10 inclusive.
        p.setPen(QPen(QColor(QStringLiteral("#cccccc")), 1));
        p.drawLine(QPointF(centre + 0.5, h / 2 - 10 + 0.5), QPointF(centre + 0.5, h / 2 + 10 + 0.5));
    }

    QFont font = p.font();
    font.setWeight(QFont::Bold);
    font.setPointSizeF(font.pointSizeF() * 0.85);
    p.setFont(font);
    p.setPen(QColor(QStringLiteral("#dddddd")));
    p.drawText(QRect(12, h - 20, trackLength, 18), Qt::AlignCenter, tpl.rangeText);
    return pixmap;
}
