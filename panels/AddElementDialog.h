#pragma once

#include "model/ChannelInfo.h"
#include "panels/ElementTypeEntry.h"
#include "panels/StockMaskCache.h"

#include <QDialog>
#include <QList>
#include <QString>
#include <pugixml.hpp>

#include <memory>
#include <vector>

class DashConfig;
class PreviewScene;
class QDialogButtonBox;
class QGraphicsView;
class QLabel;
class QLineEdit;
class QListWidget;

// "Insert Element": the user picks an element type for the page and, for a
// type that shows a value, a channel. Types come from the stock artwork RS3
// installs for the page's device family, one per kind with the first element
// found as donor, plus a few made by rule; without a family the open
// configuration's own masks are the donors.
//
// Donors point into documents the dialog owns: the caller copies the chosen
// one before the dialog goes.
//
// Stock scanning is defined in AddElementDialogScan.cpp.
class AddElementDialog : public QDialog {
    Q_OBJECT

public:
    AddElementDialog(DashConfig* config, int pageIndex, QWidget* parent = nullptr);
    ~AddElementDialog() override;

    // Valid after the dialog was accepted.
    const ElementTypeEntry& chosenType() const { return chosenTypeEntry; }
    const ChannelInfo& chosenChannel() const { return chosenChannelInfo; }
    // The offered types, in list order.
    const QList<ElementTypeEntry>& typeEntries() const { return types; }

    // The type a mask element is offered as; empty for none.
    static QString typeDisplayName(pugi::xml_node mask);

public Q_SLOTS:
    void onTypeChanged(int row);
    void onChannelFilterChanged(const QString& text);
    void onAccept();

private:
    // What a stock mask is offered as, and where it lies.
    struct StockSummary {
        QString label; // empty: not offered
        bool isComposite = false;
        QString source;
        QStringList setAndPage;
    };
    static const std::vector<StockSummary>& summariesOf(
        const std::shared_ptr<const QList<StockMaskCache::Item>>& masks);

    void buildWindow();
    QWidget* createTypeColumn();
    QWidget* createChannelColumn();
    QWidget* createPreviewColumn();
    void fillTypes();
    void fillTypeList();

    // --- scanning (AddElementDialogScan.cpp) -------------------------------
    QString familyFolder() const;
    bool scanStockTypes();
    void scanConfigTypes();
    void appendRuleTypes();
    bool findCompositeBarDonor(ElementTypeEntry& entry);
    // The set and page folder of the page the element goes to; empty when
    // it names none.
    QStringList ownSetAndPage() const;
    // Takes the composite vertical bar of the stock nearest the page as the
    // entry's donor; false when the stock has none. A donor borrowed from
    // another set is what makes RS3 crash, so the nearest one wins.
    bool takeNearestCompositeBar(const QList<StockMaskCache::Item>& masks, const std::vector<StockSummary>& summaries,
                                 ElementTypeEntry& entry);
    bool hasType(const QString& label, Qt::CaseSensitivity cs = Qt::CaseSensitive) const;

    void updateEnabling();
    void updatePreview();
    int currentTypeRow() const;
    int currentChannelIndex() const;

    DashConfig* config;
    int pageIndex;
    std::vector<std::shared_ptr<const pugi::xml_document>> donorDocuments;
    // The walk for the stock types also notes the nearest composite vertical
    // bar, so the rule types need no second walk over the install.
    bool compositeBarSearched = false;
    ElementTypeEntry compositeBar; // no donor: none was found
    QList<ElementTypeEntry> types;
    QListWidget* typeList = nullptr;
    QLineEdit* filterEdit = nullptr;
    QListWidget* channelList = nullptr;
    QLabel* hintLabel = nullptr;
    QLabel* installNote = nullptr; // where an install was looked for, when there is none
    QDialogButtonBox* buttons = nullptr;
    QGraphicsView* previewView = nullptr;
    PreviewScene* previewScene = nullptr;
    QLabel* nativeSizeLabel = nullptr;
    ElementTypeEntry chosenTypeEntry;
    ChannelInfo chosenChannelInfo;
};
