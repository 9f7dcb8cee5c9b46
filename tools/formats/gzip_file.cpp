#include "gzip_file.h"

#include "source_error.h"

#include <QFile>

#include <zlib.h>

#include <vector>

using namespace Qt::StringLiterals;

bool isGzipFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray magic = file.read(2);
    return magic == QByteArrayView("\x1F\x8B", 2);
}

void gunzipFile(const QString &source, const QString &target)
{
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        raiseForFile(source, u"cannot open the file: "_s + in.errorString());
    QFile out(target);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        raiseForFile(target, u"cannot create the file: "_s + out.errorString());

    z_stream z{};
    // 16 + MAX_WBITS: gzip wrapper only.
    if (inflateInit2(&z, 16 + MAX_WBITS) != Z_OK)
        raiseForFile(source, u"cannot start decompression"_s);
    struct Guard
    {
        z_stream *z;
        ~Guard() { inflateEnd(z); }
    } guard{&z};

    std::vector<unsigned char> input(1 << 16);
    std::vector<unsigned char> output(1 << 18);
    int64_t inputOffset = 0; // compressed bytes handed to zlib so far
    bool streamEnded = false;
    bool anyMember = false;
    for (;;) {
        if (z.avail_in == 0) {
            const qint64 got = in.read(reinterpret_cast<char *>(input.data()), qint64(input.size()));
            if (got < 0)
                raiseAtOffset(source, inputOffset, u"read error: "_s + in.errorString());
            if (got == 0)
                break;
            z.next_in = input.data();
            z.avail_in = uInt(got);
            inputOffset += got;
        }
        if (streamEnded) {
            // Another gzip member may follow (concatenated files); stray bytes may not.
            if (z.avail_in >= 1 && z.next_in[0] != 0x1F)
                raiseAtOffset(source, inputOffset - z.avail_in, u"data after the end of the compressed stream"_s);
            inflateReset(&z);
            streamEnded = false;
        }
        z.next_out = output.data();
        z.avail_out = uInt(output.size());
        const int rc = inflate(&z, Z_NO_FLUSH);
        if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR) {
            const QString why = z.msg ? QString::fromLatin1(z.msg) : u"damaged compressed data"_s;
            raiseAtOffset(source, inputOffset - z.avail_in, u"damaged compressed data ("_s + why + u')');
        }
        const qint64 produced = qint64(output.size() - z.avail_out);
        if (produced > 0 && out.write(reinterpret_cast<const char *>(output.data()), produced) != produced)
            raiseForFile(target, u"cannot write the file: "_s + out.errorString());
        if (rc == Z_STREAM_END) {
            streamEnded = true;
            anyMember = true;
        }
    }
    if (!streamEnded || !anyMember)
        raiseAtOffset(source, inputOffset, u"compressed data ends early (truncated file)"_s);
    if (!out.flush())
        raiseForFile(target, u"cannot write the file: "_s + out.errorString());
}
