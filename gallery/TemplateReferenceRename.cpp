#include "gallery/TemplateReferenceRename.h"

#include "gallery/ReplacingZipFile.h"
#include "model/DashConfig.h"
#include "model/ErrorText.h"
#include "model/FolderCopy.h"
#include "model/SafeWrite.h"
#include "model/XmlParams.h"
#include "model/ZipArchive.h"
#include "model/ZipWriter.h"
#include "templates/TemplateReferenceCount.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QSet>
#include <QStringList>

namespace {

const QString kSet = QStringLiteral("s04_homebrew");

QString tr(const char* text)
{
    return QCoreApplication::translate("TemplateReferenceRename", text);
}

bool isSeparator(QChar c)
{
    return c == u'/' || c == u'\\';
}

// As the users count reads a name: whole when a separator follows, or
// nothing but blanks up to the end of the value.
bool endsPathPart(const QString& value, qsizetype end)
{
    if (end < value.size() && isSeparator(value[end]))
        return true;
    return QStringView(value).mid(end).trimmed().isEmpty();
}

// The value with each reference to `from` pointing at `to`; *count says how
// many there were.
QString renamedValue(const QString& value, const QString& from, const QString& to, int* count)
{
    QString out = value;
    for (qsizetype at = out.indexOf(kSet, 0, Qt::CaseInsensitive); at >= 0;
         at = out.indexOf(kSet, at + kSet.size(), Qt::CaseInsensitive)) {
        const qsizetype name = at + kSet.size() + 1;
        const qsizetype end = name + from.size();
        if (end > out.size() || !isSeparator(out[name - 1]) || !endsPathPart(out, end)
            || QStringView(out).mid(name, from.size()).compare(from, Qt::CaseInsensitive) != 0)
            continue;
        out.replace(name, from.size(), to);
        ++*count;
    }
    return out;
}

class RenameWalker : public pugi::xml_tree_walker {
public:
    RenameWalker(const QString& from, const QString& to) : m_from(from), m_to(to) {}

    bool for_each(pugi::xml_node& node) override
    {
        visit(node);
        return true;
    }

    void visit(pugi::xml_node node)
    {
        for (pugi::xml_attribute attribute : node.attributes()) {
            const QString value = renamed(attribute.value());
            if (!value.isNull())
                attribute.set_value(value.toUtf8().constData());
        }
        if (node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata) {
            const QString value = renamed(node.value());
            if (!value.isNull())
                node.set_value(value.toUtf8().constData());
        }
    }

    int count = 0;

private:
    // Null when the value names no reference.
    QString renamed(const char* value)
    {
        const int before = count;
        const QString out = renamedValue(QString::fromUtf8(value), m_from, m_to, &count);
        return count == before ? QString() : out;
    }

    QString m_from;
    QString m_to;
};

// The device file's bytes pointing at `to`; the bytes unchanged when they
// name no reference. False when a file that names one cannot be read as XML.
bool renamedDeviceFile(QByteArray* bytes, const QString& from, const QString& to)
{
    if (TemplateReferenceCount::inDeviceBytes(*bytes, from) == 0)
        return true;
    pugi::xml_document doc;
    if (!doc.load_buffer(bytes->constData(), size_t(bytes->size())))
        return false;
    TemplateReferenceRename::inNode(doc, from, to);
    *bytes = xmlDocumentBytes(doc, "  ", bytes->size() + bytes->size() / 16);
    return TemplateReferenceCount::inDeviceBytes(*bytes, from) == 0;
}

// A record store's value with every string pointing at `to`.
QJsonValue renamedJson(const QJsonValue& value, const QString& from, const QString& to, int* count)
{
    if (value.isString())
        return renamedValue(value.toString(), from, to, count);
    if (value.isArray()) {
        QJsonArray array = value.toArray();
        for (qsizetype i = 0; i < array.size(); ++i)
            array[i] = renamedJson(array.at(i), from, to, count);
        return array;
    }
    if (value.isObject()) {
        QJsonObject object = value.toObject();
        for (auto it = object.begin(); it != object.end(); ++it)
            it.value() = renamedJson(it.value(), from, to, count);
        return object;
    }
    return value;
}

// Far above any record store.
constexpr qint64 kStoreReadBound = 64 * 1024 * 1024;

} // namespace

int TemplateReferenceRename::inNode(pugi::xml_node node, const QString& from, const QString& to)
{
    if (from.isEmpty() || to.isEmpty() || !node)
        return 0;
    RenameWalker walker(from, to);
    walker.visit(node);
    node.traverse(walker);
    return walker.count;
}

bool TemplateReferenceRename::inArchive(const QString& zconf2Path, const QString& from, const QString& to,
                                        QString* error)
{
    // The entries in archive order, so the rewritten archive lists them as
    // the original did.
    QStringList order;
    QSet<QString> seen;
    QMap<QString, QByteArray> entries;
    ZipFailure failure;
    const auto every = [&order, &seen](const QString& name) {
        if (!seen.contains(name)) {
            seen.insert(name);
            order.append(name);
        }
        return true;
    };
    if (!readZipEntries(zconf2Path, every, ExtractLimits(), &entries, &failure))
        return failWith(error, tr("cannot read %1: %2").arg(zconf2Path, failure.text()));
    ReplacingZipFile zip(zconf2Path);
    QString why;
    if (!zip.open(&why))
        return failWith(error, why);
    for (const QString& name : std::as_const(order)) {
        QByteArray bytes = entries.value(name);
        if (!renamedDeviceFile(&bytes, from, to))
            return failWith(error, tr("cannot read %1 in %2").arg(name, zconf2Path));
        if (!writeZipEntry(zip.handle(), name, bytes))
            return failWith(error, tr("cannot write %1 into %2").arg(name, zip.temporaryPath()));
    }
    if (!zip.commit(&why))
        return failWith(error, tr("cannot write %1: %2").arg(zconf2Path, why));
    return true;
}

bool TemplateReferenceRename::inStores(const QString& zconf2Path, const QString& from, const QString& to,
                                       QString* error)
{
    const QFileInfo config(zconf2Path);
    for (const QString& name : DashConfig::sidecarFileNames(config.completeBaseName())) {
        const QString path = config.absolutePath() + QLatin1Char('/') + name;
        QByteArray bytes;
        if (!QFileInfo::exists(path) || !FolderCopy::readRegularFile(path, kStoreReadBound, &bytes))
            continue;
        const QJsonDocument doc = QJsonDocument::fromJson(bytes);
        if (!doc.isObject())
            continue;
        int count = 0;
        const QJsonValue renamed = renamedJson(doc.object(), from, to, &count);
        if (count == 0)
            continue;
        if (!writeFileNoLink(path, QJsonDocument(renamed.toObject()).toJson(QJsonDocument::Indented), QString(),
                             error))
            return false;
    }
    return true;
}
