#include "model/DashConfig.h"
#include "model/SafeWrite.h"

#include "model/XmlParams.h"

#include <QDebug>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

namespace {

// `<p n="NAME">escaped text</p>` exactly as RS3 writes it, in UTF-8.
QByteArray taggedParam(const char* name, const QString& text)
{
    return QByteArray("<p n=\"") + name + "\">" + xmlEscape(text).toUtf8() + "</p>";
}

bool readWholeFile(const QString& path, QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    bytes = file.readAll();
    return file.error() == QFileDevice::NoError;
}

// The new content replaces the file whole or not at all, so a failed write
// never leaves a truncated description for the archive to pick up. A
// read-only file is made writable first.
bool replaceFileContent(const QString& path, const QByteArray& bytes)
{
    if (QFileInfo::exists(path))
        QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::WriteOwner | QFileDevice::WriteUser);
    QString error;
    if (!writeFileSafely(path, bytes, &error)) {
        qWarning().noquote() << "writeConfigNameToAimcfg: kept the previous file:" << error;
        return false;
    }
    return true;
}

// Replaces the first occurrence of `searched` at byte level: every other
// byte of the file, whatever its encoding, stays as RS3 wrote it. False when
// the text is not there.
bool replaceFirst(QByteArray& bytes, const QByteArray& searched, const QByteArray& written)
{
    const qsizetype at = bytes.indexOf(searched);
    if (at < 0)
        return false;
    bytes.replace(at, searched.size(), written);
    return true;
}

// The description does not hold the loaded name in RS3's exact spelling:
// set the first element's "Name" through the document and write the whole
// file anew, tab-indented.
bool writeNameThroughDocument(const QString& path, const QByteArray& bytes, const QString& name)
{
    pugi::xml_document doc;
    if (!doc.load_buffer(bytes.constData(), static_cast<size_t>(bytes.size()), pugi::parse_default,
                         pugi::encoding_auto))
        return false;
    pugi::xml_node top = doc.child("CfgFileFormat").child("e");
    if (!top)
        return false;
    pugi::xml_node param = top.find_child_by_attribute("p", "n", "Name");
    if (!param) {
        param = top.prepend_child("p");
        param.append_attribute("n").set_value("Name");
    }
    param.text().set(name.toUtf8().constData());
    return replaceFileContent(path, xmlDocumentBytes(doc, "\t"));
}

// RS3's build files repeat the name with "_SC3"; they are kept in step when
// they can be, and passed over when they cannot.
void renameInBuildFiles(const QString& dir, const QString& oldName, const QString& newName)
{
    const QByteArray searched = taggedParam("UserNameAll", oldName + QLatin1String("_SC3"));
    const QByteArray written = taggedParam("UserNameAll", newName + QLatin1String("_SC3"));
    QDirIterator it(dir, QStringList{QStringLiteral("cano_s3s_build.ss.xml")}, QDir::Files | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QByteArray bytes;
        if (!readWholeFile(path, bytes) || !replaceFirst(bytes, searched, written))
            continue;
        replaceFileContent(path, bytes);
    }
}

} // namespace

bool DashConfig::setConfigName(const QString& name)
{
    const QString trimmed = name.trimmed();
    if (trimmed.isEmpty() || trimmed == newConfigName)
        return false;
    newConfigName = trimmed;
    renamePending = true;
    return true;
}

bool DashConfig::writeConfigNameToAimcfg()
{
    const QString path = findAimcfg(extractDir);
    if (path.isEmpty())
        return false;
    QByteArray bytes;
    if (!readWholeFile(path, bytes))
        return false;

    bool written = false;
    if (!loadedConfigName.isEmpty()
        && replaceFirst(bytes, taggedParam("Name", loadedConfigName), taggedParam("Name", newConfigName))) {
        if (!replaceFileContent(path, bytes))
            return false;
        written = true;
    }
    if (!written && !writeNameThroughDocument(path, bytes, newConfigName))
        return false;

    if (!loadedConfigName.isEmpty() && loadedConfigName != newConfigName)
        renameInBuildFiles(extractDir, loadedConfigName, newConfigName);

    loadedConfigName = newConfigName;
    renamePending = false;
    return true;
}
