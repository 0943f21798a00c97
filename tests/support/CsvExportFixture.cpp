#include "support/CsvExportFixture.h"

#include <QFile>

namespace {

QByteArray csvLine(const QStringList& cells, bool quoted, const QByteArray& lineEnd, bool latin1 = false)
{
    QByteArray line;
    for (qsizetype i = 0; i < cells.size(); ++i) {
        if (i)
            line += ',';
        const QByteArray cell = latin1 ? cells.at(i).toLatin1() : cells.at(i).toUtf8();
        line += quoted ? '"' + cell + '"' : cell;
    }
    return line + lineEnd;
}

} // namespace

QByteArray CsvExportFixture::toBytes() const
{
    QByteArray out;
    if (byteOrderMark)
        out += "\xEF\xBB\xBF";
    const bool latin1 = olderGeneration;
    for (const QStringList& row : metadata)
        out += csvLine(row, quoted, lineEnd, latin1);
    out += lineEnd;
    const QByteArray names = csvLine(QStringList{"Time"} + channels, quoted, lineEnd, latin1);
    out += names;
    if (olderGeneration)
        out += names;
    out += csvLine(QStringList{"s"} + units, quoted, lineEnd, latin1);
    if (olderGeneration) {
        QStringList numbers{QString()};
        for (qsizetype i = 0; i < channels.size(); ++i)
            numbers.append(QString::number(i + 1));
        out += csvLine(numbers, quoted, lineEnd);
    }
    out += lineEnd;
    for (const QList<double>& row : rows) {
        QStringList cells;
        for (double v : row)
            cells.append(QString::number(v, 'g', 12));
        if (olderGeneration)
            cells.append(QString());
        out += csvLine(cells, quoted && !olderGeneration, lineEnd);
    }
    return out;
}

bool CsvExportFixture::write(const QString& path) const
{
    return writeText(path, toBytes());
}

bool CsvExportFixture::writeText(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return file.write(bytes) == bytes.size() && file.flush();
}
