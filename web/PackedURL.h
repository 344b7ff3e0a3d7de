#pragma once

#include "web/URLType.h"

#include <cstdint>
#include <memory>
#include <string_view>

namespace web {

// A TURL kept in one small block: a million addresses held for a long time
// cost a few dozen bytes each instead of nine strings. Unpacking gives back
// exactly the TURL that was packed, every field included. The few parts read
// often (scheme, host name, whether there is a query) are read in place.
class TPackedURL {
public:
    TPackedURL() = default;
    explicit TPackedURL(const TURL& Address);
    TPackedURL(const TPackedURL& Source);
    TPackedURL& operator=(const TPackedURL& Source);
    TPackedURL(TPackedURL&&) noexcept = default;
    TPackedURL& operator=(TPackedURL&&) noexcept = default;

    TURL Unpack() const;
    // Fills Address, reusing its strings' room.
    void UnpackInto(TURL& Address) const;

    std::int32_t GetScheme() const;
    std::string_view GetHostName() const;
    bool HasExtraInfo() const;

    // The same block kept in memory of another owner: a link keeps its
    // address in one block with its texts. A cleared address takes no bytes,
    // and reading no bytes (null) gives a cleared address.
    static std::size_t PackedSize(const TURL& Address);
    // At least PackedSize(Address), found without reading the parts.
    static std::size_t PackedSizeLimit(const TURL& Address);
    // Writes Address to Out, which has room for PackedSizeLimit(Address)
    // bytes; gives the bytes written, PackedSize(Address).
    static std::size_t PackInto(const TURL& Address, char* Out);
    static void UnpackFrom(const char* Data, TURL& Address);
    static bool PackedIsValid(const char* Data);

private:
    static constexpr std::size_t FieldCount = 9;
    template <class TAddress>
    static auto Fields(TAddress& Address);
    // The block's first bytes: which string fields are not empty, and Valid.
    static std::uint16_t MaskOf(const TURL& Address);
    static bool IsCleared(const TURL& Address, std::uint16_t Mask);
    std::size_t Size() const;

    std::unique_ptr<char[]> Data;  // null for a cleared address
};

} // namespace web
