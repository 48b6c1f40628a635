#pragma once

#include <QImage>
#include <QtGlobal>

namespace kivo {

// Memory for one large image or file, mapped on its own and given back whole
// when freed (as HeapPolicy has every large block), in huge pages where the
// kernel offers them for the asking (transparent huge pages in "madvise"
// mode). A fresh block of 10 MB then takes a handful of page faults instead
// of some 2 500, which on a virtual machine cost more than decoding into it.
class HugePageBuffer
{
public:
    explicit HugePageBuffer(qsizetype size);
    ~HugePageBuffer();
    HugePageBuffer(const HugePageBuffer &) = delete;
    HugePageBuffer &operator=(const HugePageBuffer &) = delete;

    // Null when the memory could not be mapped.
    uchar *data() const { return m_data; }
    qsizetype size() const { return m_size; }

    // An image of that size and format in memory of its own, freed with the
    // image's last copy; a null image when it cannot be had.
    static QImage image(QSize size, QImage::Format format);

private:
    uchar *m_data = nullptr;
    qsizetype m_size = 0;
};

} // namespace kivo
