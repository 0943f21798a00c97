#pragma once

#include "canvas/GaugeGeometry.h"
#include "model/MaskElement.h"
#include "model/PageModel.h"
#include "model/WidgetModel.h"

#include <QFont>
#include <QHash>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QPointF>
#include <QRectF>
#include <QRegion>
#include <QSet>
#include <QString>
#include <QVector>
#include <QWidget>
#include <functional>
#include <utility>
#include <pugixml.hpp>

class DashConfig;
class IDataSource;
class QPainter;
class QUndoStack;

// The widget in the middle of the main window: one page of the open
// configuration, scaled to fit and centred, with its background, the snap
// grid, every mask, the widget outlines and the selection handles.
//
// Member functions are defined in files grouped by concern
// (canvas/DashCanvas*.cpp).
class DashCanvas : public QWidget {
    Q_OBJECT

public:
    explicit DashCanvas(QWidget* parent = nullptr);
    ~DashCanvas() override;

    // --- state and geometry -------------------------------------------
    void setPage(PageModel* page);
    void setConfig(DashConfig* config);
    void setUndoStack(QUndoStack* stack);
    void setDataSource(IDataSource* source);
    void setTime(double seconds);
    IDataSource* dataSource() const { return m_dataSource; }
    double timeSeconds() const { return m_timeSec; }
    void setSpeedUnit(int unit);
    void setGrid(bool snap, int size);
    void setMaskImageProvider(std::function<QImage(int)> provider);
    void setIconPreviewProvider(std::function<QString(int)> provider);
    void setIconGraphicProvider(std::function<QString(int)> provider);
    void invalidateMaskImageCache();

    void setSelectedMask(int index);
    void setSelectedWidget(int index);
    int selectedMask() const { return m_selectedMask; }
    void selectAllWidgets();

    double viewScale() const;
    QPointF pageOrigin() const;
    QRectF widgetRect(const MaskElement& mask, const WidgetModel& widget) const;
    QRectF maskRect(const MaskElement& mask) const;
    QVector<int> paintOrder() const;

    // --- paint pass -------------------------------------------------
    void paintPage(QPainter& painter);
    void drawMask(QPainter& painter, const MaskElement& mask, int maskIndex);
    void drawMaskHandles(QPainter& painter, const MaskElement& mask);

    // --- gauges -----------------------------------------------------
    void drawGaugeNeedle(QPainter& painter, const MaskElement& mask, const GaugeGeometry& geometry,
                         double value, int maskIndex);
    void drawGaugeRing(QPainter& painter, const MaskElement& mask, const GaugeGeometry& geometry,
                       double value);

    // --- image loading and XML parameter utilities -----------------------
    static QImage loadImage(const QString& path);
    // The picture of a plain file (never read through a symbolic link nor
    // from a pipe or a device: those are named in the log and give a null
    // image), through a cache of decoded pictures kept by path and file
    // stamp: a picture is decoded again only when its file changed.
    static QImage decodedImage(const QString& path);
    static bool parseColor(const char* text, QColor& colour);
    static bool isBargraph(pugi::xml_node node);
    static pugi::xml_node findChosenElement(pugi::xml_node parent, const char* className);
    static QString channelKey(const QString& name);
    // Text of the first <p n=name>; a null text when there is none, an empty
    // one when the parameter is empty.
    static QString paramValue(pugi::xml_node node, const char* name);

    // --- firmware fonts, font-size badge, value fraction -------------------
    static QString displayFontFamily(const QString& faceName);
    static void drawFontWarningBadge(QPainter& painter, const QRectF& maskRect);
    static double valueFraction(double value, double minimum, double maximum);

    // --- artwork and image caches -----------------------------------------
    // The styled box image of the mask when the provider has one, else its
    // RS3 artwork.
    QPixmap maskPixmap(const MaskElement& mask, int maskIndex);
    // The mask's mask.png from the RS3 installs, with the gauge scale frame
    // painted over it.
    QPixmap loadMaskPixmap(const MaskElement& mask);
    // A frame image of a bargraph scale from the mask's art folder.
    QPixmap loadBarFramePixmap(const MaskElement& mask, const QString& frameName);
    // The highest-numbered m2on<N>.png of a homebrew value bar's folder.
    QPixmap loadHomebrewBarPixmap(const MaskElement& mask);
    // The graphic of an icon mask: the graphic provider, the preview
    // provider, then the mask's own OVERLAY2_ICONA_NERA.
    QPixmap iconPixmap(const MaskElement& mask, int maskIndex);
    // File name of the scale frame painted over a gauge's artwork; empty
    // when the mask has none.
    static QString gaugeScaleFrame(const MaskElement& mask);
    // PATH_REL_AiM_MASK with '/' separators and a trailing '/'; empty when
    // the mask has no art folder.
    static QString maskArtFolder(const MaskElement& mask);
    void invalidateRenderCaches();
    // Repaints after a change of the shown records that no undo command
    // announced: the kept frame is painted again from the model.
    void refresh();

    // --- off-screen rendering ----------------------------------------------
    // The page drawn as the canvas shows it in preview mode, at the page's
    // own size times scale; with sampleData, animated by synthetic values at
    // 7.5 s. Null for a missing page.
    static QImage renderPageForPreview(DashConfig* config, int pageIndex, bool sampleData, int scale);
    // The page background with one translucent rectangle per mask, coloured
    // by kind. Null for a missing page or a scale below 1.
    static QImage renderPageGeometry(const PageModel* page, int scale);
    // The fixed label texts of each mask of the page, drawn as the preview
    // draws them, one transparent picture per mask cut to what the texts
    // cover (its offset() is where that lies on the page); null for a mask
    // that shows none. Empty for a missing page.
    static QVector<QImage> renderLabelLayers(DashConfig* config, int pageIndex);
    // Every page's label layers as "page<P>_mask<M>.png" in folder (PNG
    // offsets included), for tools that cannot draw text themselves; false
    // with a reason when a file cannot be written.
    static bool writeLabelLayers(DashConfig* config, const QString& folder, QString* error);

    // --- live widget drawing and mask drawing ------------------------------
    // The box fill and border a mask carries in its own M_BCOL, M_TCOL and
    // M_THICK parameters.
    struct BoxOutlineStyle {
        bool fillPresent = false;
        QColor fill;
        int thickness = 0; // page pixels
        QColor border;
    };
    // A point of a bar's step scale: where along the bar (percent) a value
    // sits.
    struct BarStep {
        double pos = 0.0;
        double val = 0.0;
    };

    // One widget with its live value (NaN for none): a bar from its artwork
    // or as a vector bar, a Digit as its formatted value, a Label as its text.
    void drawWidgetLive(QPainter& painter, const MaskElement& mask, const WidgetModel& widget, double value);
    // The bar's OFF and ON frame images with the ON image clipped to the
    // filled part; false when the bar has no usable artwork.
    bool drawBargraph(QPainter& painter, const MaskElement& mask, const WidgetModel& widget, double value);
    // The frame images, fill direction and step scale of an artwork bar;
    // false when the bar has no usable artwork.
    struct BarArtwork {
        QPixmap on;
        QPixmap off;
        QVector<BarStep> steps;
        QPointF s1, s2, e1, e2; // fill edges in the bar's own coordinates
        QPointF imageTopLeft;   // in widget coordinates
    };
    bool barArtwork(const MaskElement& mask, const WidgetModel& widget, BarArtwork& art);
    // Hundredths-of-a-second lap time: "1:05.30", "1:02:03.04".
    static QString formatLapTime(double seconds);
    static bool isTimeChannel(const QString& name);
    // A Label's TEXT, else a text derived from its id (channel name, unit,
    // scale ends).
    static QString labelText(const MaskElement& mask, const WidgetModel& widget);
    // The scale minimum (end 0) or maximum (end 1) of the mask's bar that
    // shares the widget's id prefix; empty when there is none.
    static QString formatScaled(const MaskElement& mask, const WidgetModel& widget, int end);
    // What a Digit shows for a value (NaN for none); empty draws nothing.
    static QString digitText(const WidgetModel& widget, double value, bool previewMode);
    // The text of a mask-level value (a mask without widgets).
    static QString maskValueText(const QString& channel, const QString& channelShort, double value);
    // Fill fraction 0..1 of an artwork bar: the value mapped through the
    // step scale, or over the scale range with fewer than two steps; a bar
    // without a value is drawn full.
    static double barFillFraction(QVector<BarStep> steps, double value, double scaleMin, double scaleMax);
    static BoxOutlineStyle boxOutlineStyle(const MaskElement& mask);
    // Fill colour of a mask drawn without artwork (and of the geometry
    // render), by mask kind.
    static QColor placeholderColour(int kind);
    // A speed in `unit` (km/h, mph, knots, else m/s) in the display unit
    // (0 km/h, 1 mph, 2 knots, else m/s).
    static double convertSpeed(double value, const QString& unit, int displayUnit);
    // Where the first read of each mask-level channel is logged; tests point
    // it at a folder of their own. Clearing the logged names is for tests too.
    static void setChannelMatchLogPath(const QString& path);
    static QString channelMatchLogPath();
    static void resetChannelMatchLog();

    // Assigned by the owner right after construction; drags hand it to the
    // undo commands they push.
    DashConfig* config = nullptr;
    // Live look: no widget outlines; set by the preview action and by the
    // off-screen renderer.
    bool previewMode = false;

Q_SIGNALS:
    void elementSelected(int index);
    void elementMoved(int index, int newX, int newY);
    void elementResized(int index, int newW, int newH);
    void widgetSelected(int maskIndex, int widgetIndex);
    void widgetMoved(int maskIndex, int widgetIndex, int newX, int newY);
    void widgetResized(int maskIndex, int widgetIndex, int newW, int newH);
    void deleteRequested(int index);
    // A drag the canvas would not finish, in words for the status bar; the
    // dragged element is back where it was and no undo step was pushed.
    void editRefused(const QString& message);
    // The program set the selection (setPage, setSelectedMask,
    // setSelectedWidget, Select All, clearing); the user's own clicks report
    // through elementSelected and widgetSelected instead.
    void selectionChanged();
    void contextMenuRequested(int maskIndex, int widgetIndex, QPoint globalPos, QPoint canvasPos);

public Q_SLOTS:
    void clearSelectionAndRepaint();

    // --- selection, hit testing, dragging and resizing (DashCanvasInput.cpp)
public:
    // A mask index and a widget index of it, each -1 when none.
    struct Hit {
        int mask = -1;
        int widget = -1;
    };
    int selectedWidget() const { return m_selectedWidget; }
    // The widgets of the selected mask selected together (Select All).
    const QSet<int>& multiSelection() const { return m_multiSelection; }
    // The resize handle (2..9) of the selection under pos, 0 when none.
    int handleAt(const QPoint& pos) const;
    // The topmost widget or mask under pos.
    Hit hitTest(const QPoint& pos) const;
    // A page coordinate or size on the grid; unchanged when snapping is off.
    int snap(int value) const;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool event(QEvent* event) override;

private:
    int widgetToSelect(const Hit& hit) const;
    void beginDrag(int mode, const QPoint& pos);
    MaskElement* dragMaskRecord() const;
    WidgetModel* dragWidgetRecord() const;
    bool dragTargetSelected() const;
    void dragMask(MaskElement& mask, int dx, int dy);
    void dragWidget(const MaskElement& mask, WidgetModel& widget, int dx, int dy);
    void finishDrag();
    void cancelDrag();
    int shownPageIndex() const;
    int snapMinimum(int minimum) const;
    int snapWithin(int value, int upper) const;

    // What the running drag writes into, as found at the press, and its
    // geometry before the drag (m_dragStartX..H may be given a size for an
    // unsized widget; this never is).
    int m_dragMask = -1;
    int m_dragWidget = -1;
    pugi::xml_node m_dragMaskNode;
    pugi::xml_node m_dragWidgetNode;
    QRect m_dragOrigin;
    bool m_dragStartSized = false;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // Everything a frame shows, in paint order. With a clip, only what may
    // touch it is painted (the painter is clipped to it as well).
    void paintPass(QPainter& painter, const QRect* clip);
    // Paints a frame into m_frame from scratch and notes what the values
    // of the next tick may change.
    void paintFullFrame(const QPainter& target);
    // Repaints the parts of m_frame whose live values moved, in the look
    // the kept frame was painted in; false when the kept frame no longer
    // matches the canvas. What was repainted is added to damaged, if given.
    bool applyTick(QRegion* damaged);
    // The kept frame may be shown as it stands through painter.
    bool frameFitsPainter(const QPainter& painter) const;
    // painter draws text with the font, hints and direction the kept frame
    // was painted with.
    bool frameLookMatches(const QPainter& painter) const;
    // The key of a live part in m_livePartOf: widget < 0 for the whole mask.
    static quint64 livePartKey(int mask, int widget)
    {
        return quint64(mask) << 32 | (widget < 0 ? quint64(0xffffffffu) : quint64(widget));
    }
    // Sets painter up to copy the kept frame (saved state: restore when
    // true) where drawing it gives the same pixels.
    static bool copiesFrame(QPainter& painter);
    // Whether rect may be repaired from the static layer: no part that
    // holds still is drawn there after a live part.
    bool staticLayerFits(const QRect& rect) const;
    // Paints the static layer where rect needs it and copies it into m_frame.
    void restoreStaticLayer(const QRect& rect);
    // The live parts and the editor's overlays over a restored rect.
    void drawLiveParts(QPainter& painter, const QRect& rect);
    // QRectF::intersects, inlined: the checks run for every part and every
    // damaged rectangle of a tick.
    static bool rectsMeet(const QRectF& a, const QRectF& b)
    {
        return spansMeet(a.x(), a.width(), b.x(), b.width()) && spansMeet(a.y(), a.height(), b.y(), b.height());
    }
    // Whether two spans, given by start and (possibly negative) length, share
    // more than an edge; an empty span meets nothing.
    static bool spansMeet(double a, double aLength, double b, double bLength)
    {
        double aEnd = a + aLength;
        if (aEnd < a)
            std::swap(a, aEnd);
        double bEnd = b + bLength;
        if (bEnd < b)
            std::swap(b, bEnd);
        return a != aEnd && b != bEnd && a < bEnd && b < aEnd;
    }
    // One widget of a mask with its live value, as drawMask draws it.
    void drawMaskWidget(QPainter& painter, const MaskElement& mask, int maskIndex, int widgetIndex, bool skipBars,
                        const double* value = nullptr);
    // What the frame's paint pass draws, in its order, for the static layer's checks.
    void notePaintItems();
    void dropFrame();
    // Where the drawing of a mask may reach (live values at any value
    // included, except those noted as moving), and the live parts of it.
    QRectF maskExtent(const MaskElement& mask, int maskIndex);
    // Where a live part reaches with the value of this tick.
    QRectF movingExtent(const MaskElement& mask, int widgetIndex);
    QRectF widgetExtent(const MaskElement& mask, const WidgetModel& widget, double value);
    // The same cut to the boxes of a text's glyphs, for the static layer's
    // checks of a widget that holds still.
    QRectF widgetInkExtent(const MaskElement& mask, const WidgetModel& widget, double value);
    bool widgetIsLive(const WidgetModel& widget) const;
    bool maskValueIsLive(const MaskElement& mask) const;
    void paintGrid(QPainter& painter);
    void paintWidgetOutlines(QPainter& painter, const QRect* clip);
    void paintSelectionHandles(QPainter& painter);
    // The live value of a gauge mask; 0 without a usable source or channel.
    double gaugeValue(const MaskElement& mask) const;

    PageModel* m_page = nullptr;
    int m_selectedMask = -1;
    int m_selectedWidget = -1;
    QSet<int> m_multiSelection;
    bool m_snapToGrid = false;
    int m_gridSize = 10;
    QUndoStack* m_undoStack = nullptr;
    IDataSource* m_dataSource = nullptr;
    double m_timeSec = 0.0;
    int m_speedUnit = 0;
    DashConfig* m_fontConfig = nullptr;
    bool m_maskArmed = false;
    int m_dragMode = 0;
    QPoint m_dragStartPos;
    int m_dragStartX = 0;
    int m_dragStartY = 0;
    int m_dragStartW = 0;
    int m_dragStartH = 0;
    QHash<QString, QPixmap> m_artworkCache;
    std::function<QImage(int)> m_maskImageProvider;
    QHash<int, QPixmap> m_maskImageCache;
    std::function<QString(int)> m_iconPreviewProvider;
    std::function<QString(int)> m_iconGraphicProvider;

    // The last frame and what it was painted for. A playback tick changes
    // only the live values, so it repaints just where they were and are.
    struct LivePart {
        int mask = -1;
        int widget = -1; // -1: the mask's own value or gauge
        bool moving = false; // reach depends on the value
        QRectF extent;
        // What the widget showed at the last tick: its text, else its value.
        bool shownKnown = false;
        QString shownText;
        double shownValue = 0.0;
    };
    // Whether a widget part shows something else than at the last tick; notes what it shows now.
    bool livePartChanged(LivePart& part);
    QImage m_frame;
    bool m_frameValid = false;
    bool m_tickPending = false;
    bool m_framePreview = false;
    const PageModel* m_framePage = nullptr;
    bool m_frameSourceValid = false;
    QVector<int> m_frameOrder;
    QFont m_frameFont;
    QVector<QRectF> m_maskExtents;
    QVector<QVector<QRectF>> m_widgetExtents; // [mask][widget]
    QVector<QRectF> m_outlineRects;           // widget outlines, mask by mask
    const QRect* m_passClip = nullptr;        // the rectangle a tick repaints
    // What a tick's repaint reads of the XML, kept with the frame.
    QVector<BoxOutlineStyle> m_boxStyles;
    // Each mask's base picture as the kept frame was painted, so the frame's
    // bands and later ticks skip the art path and scale frame look-ups.
    QHash<int, QPixmap> m_keptMaskArt;
    QHash<int, QPixmap> m_keptHomebrewBars; // the same for the editor's own bar artwork
    // maskPixmap() looked up anew, past m_keptMaskArt.
    QPixmap freshMaskPixmap(const MaskElement& mask, int maskIndex);
    QHash<quint64, std::pair<bool, BarArtwork>> m_barArtworks; // by widgetKey: usable, artwork
    // mask index << 32 | widget index of a widget of the shown page; ~0 for any other.
    quint64 widgetKey(const MaskElement& mask, const WidgetModel& widget) const;
    // barArtwork() through m_barArtworks while the kept frame holds.
    bool keptBarArtwork(const MaskElement& mask, const WidgetModel& widget, BarArtwork& art);
    QVector<LivePart> m_liveParts;

    // The kept frame without its live parts and overlays, painted where a
    // tick first needs it: a tick copies it back under the live parts
    // instead of painting the masks there again.
    struct PaintItem {
        int mask = -1;
        int widget = -1; // -1: the mask's own drawing (whole mask when live)
        bool live = false;
        QRectF extent;   // of a part that holds still
        int livePart = -1; // of a live widget, in m_liveParts
    };
    QVector<PaintItem> m_paintItems;
    QVector<int> m_liveItems;            // the live ones among them
    QHash<quint64, int> m_livePartOf;    // livePartKey() -> index in m_liveParts
    QVector<char> m_maskSkipsBars;       // the live look hides the mask's bars
    QImage m_staticLayer;
    QRegion m_staticValid;
    bool m_staticPass = false;           // the pass paints the static layer
    QPainter::RenderHints m_frameHints;
    Qt::LayoutDirection m_frameDirection = Qt::LeftToRight;
    // The region setTime repainted the kept frame in, while it shows it
    // (empty otherwise); a paint of it copies the frame.
    QRegion m_tickShown;
};
