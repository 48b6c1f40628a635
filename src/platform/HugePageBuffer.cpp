#include "HugePageBuffer.h"

#include <sys/mman.h>

#include <cstdint>

namespace kivo {

namespace {

constexpr size_t kHugePage = size_t(2) << 20;

size_t mappedLength(qsizetype size)
{
    return (size_t(size) + kHugePage - 1) & ~(kHugePage - 1);
}

// A mapping of the given length (a multiple of kHugePage) that starts on a
// huge page, so that all of it can be backed by huge pages.
uchar *map(size_t length)
{
    const size_t padded = length + kHugePage;
    void *raw = ::mmap(nullptr, padded, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED)
        return nullptr;
    const auto start = reinterpret_cast<uintptr_t>(raw);
    const uintptr_t aligned = (start + kHugePage - 1) & ~uintptr_t(kHugePage - 1);
    if (aligned > start)
        ::munmap(raw, aligned - start);
    if (const size_t tail = start + padded - (aligned + length); tail > 0)
        ::munmap(reinterpret_cast<void *>(aligned + length), tail);
    auto *data = reinterpret_cast<uchar *>(aligned);
    // Advice only: without huge pages the memory is simply paged as usual.
    (void)::madvise(data, length, MADV_HUGEPAGE);
    return data;
}

void unmapImage(void *info)
{
    auto *mapping = static_cast<HugePageBuffer *>(info);
    delete mapping;
}

} // namespace

HugePageBuffer::HugePageBuffer(qsizetype size)
{
    if (size <= 0)
        return;
    m_data = map(mappedLength(size));
    if (m_data)
        m_size = size;
}

HugePageBuffer::~HugePageBuffer()
{
    if (m_data)
        ::munmap(m_data, mappedLength(m_size));
}

QImage HugePageBuffer::image(QSize size, QImage::Format format)
{
    if (size.isEmpty())
        return {};
    const int depth = QImage::toPixelFormat(format).bitsPerPixel();
    // Qt's own line length: whole 32-bit words.
    const qsizetype bytesPerLine = ((qsizetype(size.width()) * depth + 31) >> 5) << 2;
    auto *buffer = new HugePageBuffer(bytesPerLine * size.height());
    if (!buffer->data()) {
        delete buffer;
        return {};
    }
    return QImage(buffer->data(), size.width(), size.height(), bytesPerLine, format, unmapImage,
                  buffer);
}

} // namespace kivo
