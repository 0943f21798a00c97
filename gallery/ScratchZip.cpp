#include "gallery/ScratchZip.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QUuid>

namespace gallery {

ScratchZip::ScratchZip(const QString& prefix)
    : m_path(tempFolder() + QLatin1Char('/') + prefix + QUuid::createUuid().toString(QUuid::WithoutBraces)
             + QStringLiteral(".zip"))
{
}

ScratchZip::~ScratchZip()
{
    remove();
}

QString ScratchZip::write(const QByteArray& bytes)
{
    QFile file(m_path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return QCoreApplication::translate("gallery", "could not write scratch zip");
    const bool complete = file.write(bytes) == bytes.size() && file.flush();
    file.close();
    if (!complete) {
        remove();
        return QCoreApplication::translate("gallery", "scratch zip write truncated");
    }
    return QString();
}

void ScratchZip::remove()
{
    if (QFile::exists(m_path) && !QFile::remove(m_path))
        qWarning().noquote() << "ScratchZip: could not delete" << m_path;
}

QString ScratchZip::tempFolder()
{
    const QString location = QStandardPaths::writableLocation(QStandardPaths::TempLocation);
    return location.isEmpty() ? QDir::tempPath() : location;
}

} // namespace gallery
