#include "templates/SavedConfigsSearch.h"

#include "artwork/SavedConfigLedger.h"
#include "model/FileEntries.h"
#include "model/FileStamp.h"
#include "model/SamePath.h"
#include "model/ZipArchive.h"
#include "templates/ConfigsFootprint.h"
#include "templates/TemplateReference.h"
#include "templates/TemplateReferenceCount.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMap>

bool SavedConfigsSearch::inArchive(const QString& zconf2, const QStringList& names, QList<int>* counts)
{
    *counts = QList<int>(names.size(), 0);
    QMap<QString, QByteArray> entries;
    const auto wanted = [](const QString& entry) {
        return entry.section(QLatin1Char('/'), -1).compare(QLatin1String("overlay.ov3.xml"), Qt::CaseInsensitive) == 0;
    };
    if (zconf2.isEmpty() || !QFileInfo(zconf2).isFile() || !readZipEntries(zconf2, wanted, ExtractLimits(), &entries))
        return false;
    for (const QByteArray& bytes : std::as_const(entries)) {
        const QList<int> found = TemplateReferenceCount::inDeviceBytes(bytes, names);
        for (qsizetype i = 0; i < counts->size(); ++i)
            (*counts)[i] += found[i];
    }
    return true;
}

QHash<QString, QList<TemplateReference>> SavedConfigsSearch::referencing(const QStringList& names,
                                                                       const QString& ownFile, QStringList* notRead,
                                                                       ConfigsFootprint* footprint)
{
    QHash<QString, QList<TemplateReference>> found;
    QStringList files;
    QString why;
    if (footprint)
        footprint->addFile(SavedConfigLedger::path(), FileStamp::of(SavedConfigLedger::path()));
    if (!SavedConfigLedger::read(files, &why)) {
        notRead->append(why);
        return found;
    }
    for (const QString& file : std::as_const(files)) {
        if (!ownFile.isEmpty() && isSamePath(file, ownFile))
            continue;
        const FileStamp stamp = FileStamp::of(file);
        if (footprint)
            footprint->addFile(file, stamp);
        if (FileEntries::kindOf(file) == FileEntries::Kind::Missing)
            continue;
        QList<int> counts;
        if (!inArchive(file, names, &counts)) {
            notRead->append(QCoreApplication::translate("SavedConfigsSearch",
                                                        "%1, a configuration Korvelanto saved, cannot be read")
                                .arg(QDir::toNativeSeparators(file)));
            continue;
        }
        for (qsizetype i = 0; i < names.size(); ++i) {
            if (counts[i] > 0)
                found[names[i]].append({QFileInfo(file).fileName(), QFileInfo(file).fileName(), file, counts[i]});
        }
    }
    return found;
}
