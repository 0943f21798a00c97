#include "panels/AddElementDialog.h"

#include "model/DashConfig.h"
#include "model/InstallAdvice.h"
#include "model/InstallRoots.h"
#include "panels/PreviewScene.h"

#include <QDialogButtonBox>
#include <QGraphicsView>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QLabel* heading(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::RichText);
    return label;
}

// A row the user cannot pick: it only says why the list is empty.
void addPlaceholderRow(QListWidget* list, const QString& text)
{
    auto* item = new QListWidgetItem(text, list);
    item->setFlags(Qt::NoItemFlags);
}

} // namespace

AddElementDialog::AddElementDialog(DashConfig* cfg, int page, QWidget* parent)
    : QDialog(parent), config(cfg), pageIndex(page)
{
    buildWindow();
    fillTypes();
}

AddElementDialog::~AddElementDialog() = default;

void AddElementDialog::buildWindow()
{
    setWindowTitle(tr("Insert Element"));
    resize(820, 520);
    auto* layout = new QVBoxLayout(this);
    auto* columns = new QHBoxLayout;
    columns->addWidget(createTypeColumn(), 1);
    columns->addWidget(createChannelColumn(), 2);
    columns->addWidget(createPreviewColumn(), 0);
    layout->addLayout(columns);

    installNote = new QLabel(this);
    installNote->setObjectName(QStringLiteral("installNote"));
    installNote->setTextFormat(Qt::PlainText);
    installNote->setWordWrap(true);
    installNote->hide();
    layout->addWidget(installNote);

    hintLabel = new QLabel(tr("Pick a type and a channel."), this);
    hintLabel->setObjectName(QStringLiteral("hint"));
    // The hint quotes channel and type names, so it is always rich text and
    // those names are escaped.
    hintLabel->setTextFormat(Qt::RichText);
    hintLabel->setWordWrap(true);
    hintLabel->setMinimumHeight(40);
    hintLabel->setStyleSheet(QStringLiteral("QLabel { background: #2a2a2a; color: #ddd; padding: 6px; }"));
    layout->addWidget(hintLabel);

    buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(tr("Insert"));
    buttons->button(QDialogButtonBox::Ok)->setEnabled(false);
    layout->addWidget(buttons);

    connect(typeList, &QListWidget::currentRowChanged, this, &AddElementDialog::onTypeChanged);
    connect(filterEdit, &QLineEdit::textChanged, this, &AddElementDialog::onChannelFilterChanged);
    connect(channelList, &QListWidget::itemSelectionChanged, this, &AddElementDialog::updateEnabling);
    connect(buttons, &QDialogButtonBox::accepted, this, &AddElementDialog::onAccept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

QWidget* AddElementDialog::createTypeColumn()
{
    auto* column = new QWidget(this);
    auto* layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(heading(tr("<b>Type</b>"), column));
    typeList = new QListWidget(column);
    typeList->setObjectName(QStringLiteral("types"));
    typeList->setMinimumWidth(200);
    layout->addWidget(typeList);
    return column;
}

QWidget* AddElementDialog::createChannelColumn()
{
    auto* column = new QWidget(this);
    auto* layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(heading(tr("<b>Channel</b>"), column));
    filterEdit = new QLineEdit(column);
    filterEdit->setObjectName(QStringLiteral("filter"));
    filterEdit->setPlaceholderText(tr("Filter channels..."));
    layout->addWidget(filterEdit);
    channelList = new QListWidget(column);
    channelList->setObjectName(QStringLiteral("channels"));
    layout->addWidget(channelList);
    return column;
}

QWidget* AddElementDialog::createPreviewColumn()
{
    auto* column = new QWidget(this);
    auto* layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(heading(tr("<b>Preview</b>"), column));
    previewScene = new PreviewScene(this);
    previewView = new QGraphicsView(previewScene, column);
    previewView->setFixedSize(200, 200);
    previewView->setRenderHint(QPainter::Antialiasing);
    previewView->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    previewView->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    previewView->setFrameShape(QFrame::StyledPanel);
    previewView->setStyleSheet(QStringLiteral("QGraphicsView { background: #1e1e1e; border: 1px solid #444; }"));
    layout->addWidget(previewView, 0, Qt::AlignHCenter);
    nativeSizeLabel = new QLabel(tr("Native: -- x -- px"), column);
    nativeSizeLabel->setObjectName(QStringLiteral("native"));
    nativeSizeLabel->setStyleSheet(QStringLiteral("QLabel { color: #bbb; padding: 2px; }"));
    layout->addWidget(nativeSizeLabel, 0, Qt::AlignHCenter);
    layout->addStretch();
    return column;
}

void AddElementDialog::fillTypes()
{
    const QString refused = config ? config->refusedPageFamily(pageIndex) : QString();
    if (!refused.isEmpty()) {
        // Which display the page is on is not known: no display's elements
        // fit it for sure, so only the types made by rule are offered.
        appendRuleTypes();
        installNote->setText(InstallAdvice::familyNotAllowed(refused));
        installNote->show();
    } else if (config) {
        if (pageIndex < 0 || !scanStockTypes())
            scanConfigTypes();
        // Without an install the list holds only the types made by rule:
        // say so, and where an install was looked for.
        if (rs3OverlayRoots().isEmpty()) {
            installNote->setText(tr("RaceStudio 3's stock elements are not offered, only the types Korvelanto "
                                    "builds itself. %1")
                                     .arg(InstallAdvice::noInstall()));
            installNote->show();
        }
    }
    fillTypeList();
    onChannelFilterChanged(QString());
    if (!types.isEmpty())
        typeList->setCurrentRow(0);
    updatePreview();
}

void AddElementDialog::fillTypeList()
{
    typeList->clear();
    for (const ElementTypeEntry& entry : std::as_const(types)) {
        auto* item = new QListWidgetItem(entry.label, typeList);
        // Descriptions quote folder, mask and channel names from disk.
        item->setToolTip(QStringLiteral("<qt>%1</qt>").arg(entry.description.toHtmlEscaped()));
    }
    if (types.isEmpty())
        addPlaceholderRow(typeList, tr("(no donor elements found)"));
}

void AddElementDialog::onTypeChanged(int row)
{
    if (row < 0 || row >= typeList->count())
        return;
    updateEnabling();
}

void AddElementDialog::onChannelFilterChanged(const QString& text)
{
    channelList->clear();
    if (!config)
        return;
    const QString needle = text.trimmed().toLower();
    for (size_t i = 0; i < config->channels.size(); ++i) {
        const ChannelInfo& channel = config->channels[i];
        const QString haystack =
            (channel.longName + QLatin1Char(' ') + channel.shortName + QLatin1Char(' ') + channel.unit).toLower();
        if (!needle.isEmpty() && !haystack.contains(needle))
            continue;
        auto* item = new QListWidgetItem(
            QStringLiteral("%1  (%2)  %3").arg(channel.longName, channel.shortName, channel.unit), channelList);
        item->setData(Qt::UserRole, int(i));
    }
    if (channelList->count() == 0)
        addPlaceholderRow(channelList, tr("(no matching channels)"));
    // Clearing the list drops the chosen channel without a selection signal.
    updateEnabling();
}

int AddElementDialog::currentTypeRow() const
{
    const int row = typeList->currentRow();
    return row >= 0 && row < types.size() ? row : -1;
}

int AddElementDialog::currentChannelIndex() const
{
    const QListWidgetItem* item = channelList->currentItem();
    if (!item || !config)
        return -1;
    bool ok = false;
    const int index = item->data(Qt::UserRole).toInt(&ok);
    return ok && index >= 0 && size_t(index) < config->channels.size() ? index : -1;
}

void AddElementDialog::updateEnabling()
{
    const int row = currentTypeRow();
    const bool ready = (row >= 0 && types[row].isChannelLess()) || currentChannelIndex() >= 0;
    buttons->button(QDialogButtonBox::Ok)->setEnabled(ready);
    updatePreview();
}

void AddElementDialog::updatePreview()
{
    if (!previewScene)
        return;
    const int row = currentTypeRow();
    if (row < 0) {
        nativeSizeLabel->setText(tr("Native: -- x -- px"));
        return;
    }
    const ElementTypeEntry& type = types[row];
    nativeSizeLabel->setText(tr("Native: %1 x %2 px").arg(type.nativeWidth).arg(type.nativeHeight));
    const int channelIndex = currentChannelIndex();
    const ChannelInfo* channel = channelIndex >= 0 ? &config->channels[size_t(channelIndex)] : nullptr;
    previewScene->showElement(type.donor, channel ? channel->longName : QString(),
                              QSizeF(type.nativeWidth, type.nativeHeight));
    const QString label = type.label.toHtmlEscaped();
    if (channel) {
        hintLabel->setText(tr("<b>%1</b> bound to <b>%2</b> (%3 %4)&nbsp;&mdash; native size %5 &times; %6")
                               .arg(label, channel->longName.toHtmlEscaped(), channel->shortName.toHtmlEscaped(),
                                    channel->unit.toHtmlEscaped(), QString::number(type.nativeWidth),
                                    QString::number(type.nativeHeight)));
    } else {
        hintLabel->setText(tr("<b>%1</b> &mdash; pick a channel to preview its value").arg(label));
    }
}

void AddElementDialog::onAccept()
{
    const int row = currentTypeRow();
    if (row < 0)
        return;
    if (types[row].isChannelLess()) {
        chosenTypeEntry = types[row];
        chosenChannelInfo = ChannelInfo();
        accept();
        return;
    }
    const int channelIndex = currentChannelIndex();
    if (channelIndex < 0)
        return;
    chosenTypeEntry = types[row];
    chosenChannelInfo = config->channels[size_t(channelIndex)];
    accept();
}
