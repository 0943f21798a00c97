#pragma once

#include "model/ChannelInfo.h"
#include "model/DeviceFile.h"
#include "model/FidRange.h"
#include "model/MaskElement.h"
#include "model/PageModel.h"
#include "model/TriggeredIcon.h"
#include "model/WidgetModel.h"

#include <QHash>
#include <QImage>
#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>
#include <pugixml.hpp>
#include <vector>

class QTemporaryDir;

// The model of one open configuration: the extracted archive, its device
// files, pages, masks and widgets. The XML documents are the source of truth;
// records are re-read from them after every edit.
//
// Member functions are defined in files grouped by concern
// (model/DashConfig*.cpp, artwork/DashConfig*.cpp, editing/DashConfig*.cpp).
class DashConfig {
public:
    DashConfig();
    ~DashConfig();
    DashConfig(const DashConfig&) = delete;
    DashConfig& operator=(const DashConfig&) = delete;

    // --- records and accessors -------------------------------------------
    PageModel* page(int i);
    int pageCount() const;
    void markPageDirty(int i);
    pugi::xml_node gconfNode(int deviceIndex);

    // --- archive ----------------------------------------------------------
    bool writeZconf2(const QString& sourceDir, const QString& targetPath);

    // --- channels, install-root look-ups, channel kinds, load-time fix-ups, firmware fonts
    bool parseChannelsList(const QString& aimcfgPath);
    void parseChannelRanges(const QString& aimcfgPath);
    void parseTriggeredIconsManager(const QString& extractDir);
    int laptimeGpsResourceFid() const;
    static QString resolveRs3Path(QString path);
    QString resolveResourcePath(const QString& featureKey) const;
    QString iconFileForMask(int page, int mask);
    static QString resolveOverlayDir(const QString& rel);
    QStringList deviceOverlayFolders() const;
    static int channelKindOfElement(pugi::xml_node element);
    bool channelRangeForFid(int fid, double& lower, double& upper) const;
    void applyChannelRangeToBarScales(pugi::xml_node mask, int fid);
    int normalizeAlignParams();
    int insertFwPositionParams();
    void resetFontFolders();
    void setFontFolders(const QStringList& folders);
    QSet<int> firmwareFontSizes(int deviceIndex);
    QString iconFeatureKey(int page, int mask) const; // icon records (artwork/DashConfigIconPreview.cpp)
    bool setBarZeroMark(pugi::xml_node maskNode, bool on); // defined with the bar scale setters

    // --- data (declaration order is part of the record layout) -------------
    QStringList fontFolders;
    std::vector<QSet<int>> fontSizeSets;
    std::vector<bool> fontSizesScanned;
    std::vector<PageModel> pages;
    std::vector<DeviceFile*> devices;
    pugi::xml_document aimcfgDoc;
    QString extractDir;
    QTemporaryDir* tempDir = nullptr;
    QString aimcfgPath;
    QString zconf2Path;
    std::function<QImage(int)> pageRenderer;
    QString deviceName;
    int typeCode = -1;
    QString newConfigName;
    QString loadedConfigName;
    bool renamePending = false;
    std::vector<ChannelInfo> channels;
    int displayWidth = 800;
    int displayHeight = 480;
    QString deviceNote;
    int homebrewRepairCount = 0;
    int barRepairCount = 0;
    int digitFixCount = 0;
    bool editorPngWriteFailed = false;
    QString fitWarning;
    QHash<int, FidRange> fidRanges;
    QHash<QString, QString> triggeredIconImages;
    QHash<QString, TriggeredIcon> triggeredIcons;

private:
    void deleteDevices();
};
