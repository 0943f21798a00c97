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

using Renames = TemplateReferenceRename::Renames;

// The rename, of those given, whose folder the name at `name` is; null
// when none is.
const QPair<QString, QString>* renameAt(const QString& text, qsizetype name, const Renames& renames)
{
    if (name > text.size() || !isSeparator(text[name - 1]))
        return nullptr;
    for (const QPair<QString, QString>& rename : renames) {
        const QString& from = rename.first;
        const qsizetype end = name + from.size();
        if (end <= text.size() && endsPathPart(text, end)
            && QStringView(text).mid(name, from.size()).compare(from, Qt::CaseInsensitive) == 0)
            return &rename;
    }
    return nullptr;
}

// The value with each reference to a renamed folder pointing at its new
// name; *count says how many there were. One pass over the value whatever
// the number of folders renamed.
QString renamedValue(const QString& value, const Renames& renames, int* count)
{
    QString out = value;
    for (qsizetype at = out.indexOf(kSet, 0, Qt::CaseInsensitive); at >= 0;
         at = out.indexOf(kSet, at + kSet.size(), Qt::CaseInsensitive)) {
        const qsizetype name = at + kSet.size() + 1;
        const QPair<QString, QString>* rename = renameAt(out, name, renames);
        if (!rename)
            continue;
        out.replace(name, rename->first.size(), rename->second);
        ++*count;
    }
    return out;
}

class RenameWalker : public pugi::xml_tree_walker {
public:
    explicit RenameWalker(const Renames& renames) : m_renames(renames) {}

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
        const QString out = renamedValue(QString::fromUtf8(value), m_renames, &count);
        return count == before ? QString() : out;
    }

    const Renames& m_renames;
};

// The device file's bytes pointing at the new names; the bytes unchanged
// when they name none of the folders. False when a file that names one
// cannot be read as XML, or still names it afterwards.
bool renamedDeviceFile(QByteArray* bytes, const Renames& renames)
{
    Renames named;
    for (const QPair<QString, QString>& rename : renames) {
        if (TemplateReferenceCount::inDeviceBytes(*bytes, rename.first) > 0)
            named.append(rename);
    }
    if (named.isEmpty())
        return true;
    pugi::xml_document doc;
    if (!doc.load_buffer(bytes->constData(), size_t(bytes->size())))
        return false;
    RenameWalker walker(renames);
    walker.visit(doc);
    doc.traverse(walker);
    *bytes = xmlDocumentBytes(doc, "  ", bytes->size() + bytes->size() / 16);
    for (const QPair<QString, QString>& rename : std::as_const(named)) {
        if (TemplateReferenceCount::inDeviceBytes(*bytes, rename.first) > 0)
            return false;
    }
    return true;
}

// A record store's value with every string pointing at `to`.
QJsonValue renamedJson(const QJsonValue& value, const Renames& renames, int* count)
{
    if (value.isString())
        return renamedValue(value.toString(), renames, count);
    if (value.isArray()) {
        QJsonArray array = value.toArray();
        for (qsizetype i = 0; i < array.size(); ++i)
            array[i] = renamedJson(array.at(i), renames, count);
        return array;
    }
    if (value.isObject()) {
        QJsonObject object = value.toObject();
        for (auto it = object.begin(); it != object.end(); ++it)
            it.value() = renamedJson(it.value(), renames, count);
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
    const Renames renames{{from, to}};
    RenameWalker walker(renames);
    walker.visit(node);
    node.traverse(walker);
    return walker.count;
}

bool TemplateReferenceRename::inArchive(const QString& zconf2Path, const QString& from, const QString& to,
                                        QString* error)
{
    return inArchive(zconf2Path, Renames{{from, to}}, error);
}

bool TemplateReferenceRename::inArchive(const QString& zconf2Path, const Renames& renames, QString* error)
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
        if (!renamedDeviceFile(&bytes, renames))
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
    return inStores(zconf2Path, Renames{{from, to}}, error);
}

bool TemplateReferenceRename::inStores(const QString& zconf2Path, const Renames& renames, QString* error)
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
        const QJsonValue renamed = renamedJson(doc.object(), renames, &count);
        if (count == 0)
            continue;
        if (!writeFileNoLink(path, QJsonDocument(renamed.toObject()).toJson(QJsonDocument::Indented), QString(),
                             error))
            return false;
    }
    return true;
}
