#include "model/PrepackedFiles.h"

void PrepackedFiles::start(const QString& path, const QByteArray& bytes)
{
    m_items.insert(path, {FileStamp(), std::async(std::launch::async, [bytes] { return ZipStreamWriter::pack(bytes); })});
}

void PrepackedFiles::written(const QString& path, bool written)
{
    const auto it = m_items.find(path);
    if (it == m_items.end())
        return;
    if (written)
        it->stamp = FileStamp::of(path);
    if (!it->stamp.isValid())
        m_items.erase(it);
}

PrepackedFiles::Packing PrepackedFiles::find(const QString& path) const
{
    const auto it = m_items.constFind(path);
    if (it == m_items.constEnd() || FileStamp::of(path) != it->stamp)
        return {};
    return it->packing;
}

void PrepackedFiles::clear()
{
    m_items.clear();
}
