#include "artwork/ExportedArtworkReadme.h"

namespace {

QString rule(QChar c, int count)
{
    return QString(count, c) + QStringLiteral("\r\n");
}

QString authoritativeFile(bool decodedFromTgz, bool noDeviceArt)
{
    QString text = QStringLiteral("WHICH FILE IS AUTHORITATIVE\r\n") + rule(QLatin1Char('-'), 27);
    if (noDeviceArt)
        return text
            + QStringLiteral("This element has NO device artwork: its PATH_IMAGE_SFONDO_FW is empty, so the\r\n"
                             "dash paints nothing here and only the editors show anything. mask.png in this\r\n"
                             "folder is therefore the EDITOR-ONLY art, copied as-is. Replacing it will give\r\n"
                             "the element real device artwork it did not have before.\r\n\r\n");
    if (decodedFromTgz)
        return text
            + QStringLiteral("mask.png here was DECODED from mask.tgz -- the file the dash itself paints --\r\n"
                             "not copied from the mask.png that sat beside it. Those two drift. Edit\r\n"
                             "mask.png; on import Korvelanto re-encodes it to mask.tgz and writes both.\r\n\r\n");
    return text
        + QStringLiteral("mask.tgz could not be read, so mask.png here is the editor art copied as-is.\r\n"
                         "It may differ from what the dash paints. On import Korvelanto encodes\r\n"
                         "mask.png to mask.tgz and writes both.\r\n\r\n");
}

} // namespace

QString exportedArtworkReadme(const QString& elementLabel, const QString& sourceFolder, const QSize& declaredSize,
                              const QSize& artSize, bool decodedFromTgz, bool noDeviceArt,
                              const QStringList& sharedWith)
{
    // A missing WIDTH/HEIGHT leaves the declared size invalid (-1); the
    // reader is told 0 rather than a negative size.
    const int declaredW = qMax(0, declaredSize.width());
    const int declaredH = qMax(0, declaredSize.height());

    QString text = QStringLiteral("Korvelanto -- exported element artwork\r\n") + rule(QLatin1Char('='), 37)
        + QStringLiteral("\r\n");
    text += QStringLiteral("Element   : %1\r\n").arg(elementLabel);
    text += QStringLiteral("Came from : %1\r\n").arg(sourceFolder);
    text += QStringLiteral("\r\n");
    text += QStringLiteral("REQUIRED SIZE: %1 x %2 pixels\r\n").arg(declaredW).arg(declaredH);
    text += QStringLiteral(
        "Save mask.png at EXACTLY that size. Korvelanto refuses a different size on\r\n"
        "import rather than rescaling behind your back: art that is not the element's\r\n"
        "declared size is painted at the ART's size by the dash firmware while both\r\n"
        "editors draw the declared rectangle, so it looks right on screen and wrong on the\r\n"
        "dash. (It will offer to fit it for you, and that is a scale -- not a crop.)\r\n\r\n");
    if (artSize.isValid() && artSize != declaredSize)
        text += QStringLiteral("NOTE: the art you just exported is %1 x %2, which does NOT match the declared\r\n"
                               "%3 x %4. That mismatch is already on this element.\r\n\r\n")
                    .arg(artSize.width())
                    .arg(artSize.height())
                    .arg(declaredW)
                    .arg(declaredH);
    text += authoritativeFile(decodedFromTgz, noDeviceArt);
    text += QStringLiteral("WHAT THE DASH CAN ACTUALLY SHOW\r\n") + rule(QLatin1Char('-'), 31);
    text += QStringLiteral(
        "The device format is ARGB1555: FIVE bits per colour channel and ONE bit of\r\n"
        "alpha. So:\r\n"
        "  * 32 levels per channel -- fine gradients will band;\r\n"
        "  * a pixel is either fully opaque or fully transparent. There is no partial\r\n"
        "    alpha, so NO soft edge, NO drop shadow and NO anti-aliasing survives\r\n"
        "    against transparency. Anything under 50% alpha disappears; anything over\r\n"
        "    it goes solid. Feathered logo edges come back as jagged ones.\r\n"
        "  * If you want smooth edges, put them against a SOLID background inside the\r\n"
        "    image instead of against transparency.\r\n\r\n");
    text += QStringLiteral("THE OTHER FILES\r\n") + rule(QLatin1Char('-'), 15);
    text += QStringLiteral(
        "Everything else in this folder is the element's slot definition and its extra\r\n"
        "art (*.M2.xml, needle.tgz, scala_*.png scale frames, bkg*.tgz). They are copied\r\n"
        "back verbatim on import, so leave them alone unless you know what they do.\r\n"
        "Only mask.png is re-encoded; the other .tgz files are copied byte for byte.\r\n\r\n");
    if (!sharedWith.isEmpty()) {
        text += QStringLiteral("SHARED FOLDER\r\n") + rule(QLatin1Char('-'), 13);
        text += QStringLiteral("This artwork folder is ALSO used by: %1\r\n")
                    .arg(sharedWith.join(QStringLiteral(", ")));
        text += QStringLiteral(
            "On import the artwork is replaced IN PLACE, so every element listed above\r\n"
            "changes with it. Korvelanto saves the old artwork first and Undo puts it\r\n"
            "back.\r\n\r\n");
    }
    text += QStringLiteral(
        "Do not rename mask.png. Do not add an alpha channel you do not want\r\n"
        "hard-clipped. Import with: right-click the element -> Replace artwork from folder.\r\n");
    return text;
}
