#pragma once

#include <QGraphicsScene>
#include <QSizeF>
#include <QString>
#include <pugixml.hpp>

// The small picture of an element type in the "Insert Element" dialog: a
// tinted box in the element's proportions with the channel name and a sample
// value, or an icon's own graphic. Drawn from the donor XML alone, without
// the page canvas.
class PreviewScene : public QGraphicsScene {
    Q_OBJECT

public:
    // Kind codes of a preview, decided over the classes of the donor's
    // children; they pick the box colour.
    enum PreviewKind { KindAnalog = 0, KindDigit = 1, KindIcon = 2, KindBar = 3, KindLabel = 4, KindOther = 5 };

    explicit PreviewScene(QObject* parent = nullptr);
    ~PreviewScene() override;

    // Replaces every item: the element for a donor, else the placeholder.
    void showElement(pugi::xml_node donor, const QString& channelName, const QSizeF& nativeSize);
    // Adds the placeholder; the scene is not cleared.
    void showUnavailable();
    void buildElementPreview(pugi::xml_node donor, const QString& channelName, const QSizeF& nativeSize);

    static int previewKind(pugi::xml_node donor);
    // The sample value of the channel as the preview writes it.
    static QString valueText(const QString& channelName);

private:
    bool addIconGraphic(pugi::xml_node donor, const QRectF& box);
    void addValueTexts(pugi::xml_node donor, const QString& channelName, const QRectF& box, int kind, int height);

    QSizeF sceneSize{180.0, 180.0};
};
