#include "support/ContentCoding.h"

#include <stdexcept>

#include <zlib.h>

namespace testsupport {

std::string ContentCoded(std::string_view Data, std::string_view Coding) {
    // Window bits 15 + 16 writes the gzip wrapper; 15 alone the zlib one that "deflate" names.
    const int windowBits = Coding == "gzip" ? 15 + 16 : 15;
    z_stream stream{};
    if (deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, windowBits, 9, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("deflateInit2 failed");
    std::string out(deflateBound(&stream, Data.size()), '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(Data.data()));
    stream.avail_in = static_cast<uInt>(Data.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    const int result = deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    if (result != Z_STREAM_END) throw std::runtime_error("deflate did not finish");
    return out;
}

} // namespace testsupport
