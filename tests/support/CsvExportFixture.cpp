#include "support/CsvExportFixture.h"

#include <QFile>

namespace {

QByteArray csvLine(const QStringList& cells, bool quoted, const QByteArray& lineEnd)
{
    QByteArray line;
    for (qsizetype i = 0; i < cells.size(); ++i) {
        if (i)
            line += ',';
        const QByteArray cell = cells.at(i).toUtf8();
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
    for (const QStringList& row : metadata)
        out += csvLine(row, quoted, lineEnd);
    out += lineEnd;
    out += csvLine(QStringList{"Time"} + channels, quoted, lineEnd);
    out += csvLine(QStringList{"s"} + units, quoted, lineEnd);
    out += lineEnd;
    for (const QList<double>& row : rows) {
        QStringList cells;
        for (double v : row)
            cells.append(QString::number(v, 'g', 12));
        out += csvLine(cells, quoted, lineEnd);
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
