#include "model/SafeWrite.h"

#include "model/ErrorText.h"

#include <QCoreApplication>
#include <QDebug>
#include <QSaveFile>

namespace {

bool failWrite(QSaveFile& file, const QString& reason, QString* error)
{
    const QString text = QCoreApplication::translate("SafeWrite", "cannot write %1: %2").arg(file.fileName(), reason);
    qWarning().noquote() << "writeFileSafely:" << text;
    file.cancelWriting();
    file.commit(); // discards the temporary file; the previous one stays
    return failWith(error, text);
}

} // namespace

bool commitSaveFile(QSaveFile& file, QString* error)
{
    if (!file.isOpen())
        return failWrite(file, file.errorString(), error);
    if (!file.flush() || file.error() != QFileDevice::NoError)
        return failWrite(file, file.errorString(), error);
    if (!file.commit()) {
        const QString text =
            QCoreApplication::translate("SafeWrite", "cannot write %1: %2").arg(file.fileName(), file.errorString());
        qWarning().noquote() << "writeFileSafely:" << text;
        return failWith(error, text);
    }
    return true;
}

bool writeFileSafely(const QString& path, const QByteArray& bytes, QString* error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        const QString text = QCoreApplication::translate("SafeWrite", "cannot write %1: %2").arg(path, file.errorString());
        qWarning().noquote() << "writeFileSafely:" << text;
        return failWith(error, text);
    }
    if (file.write(bytes) != bytes.size())
        return failWrite(file, file.errorString(), error);
    return commitSaveFile(file, error);
}
