#include "web/PackedURL.h"

#include <array>
#include <cstring>
#include <string>

namespace web {

// Layout of a block: a 16-bit mask (bit N: string field N is not empty; the
// top bit: Valid), the scheme and the port as variable-length numbers, then
// each non-empty string as its length and its bytes, in field order.
namespace {

constexpr std::uint16_t ValidBit = 0x8000;
enum TField : std::size_t { fUserName = 0, fPassword = 1, fHostName = 2, fExtraInfo = 4 };

void PutNumber(char*& Out, std::uint32_t Value) {
    while (Value >= 0x80) {
        *Out++ = static_cast<char>(Value | 0x80);
        Value >>= 7;
    }
    *Out++ = static_cast<char>(Value);
}

std::size_t NumberSize(std::uint32_t Value) {
    std::size_t size = 1;
    for (; Value >= 0x80; Value >>= 7) ++size;
    return size;
}

// Reads a block from its start, field by field.
class TReader {
public:
    explicit TReader(const char* Data) : At(Data) {
        std::memcpy(&Mask, At, sizeof Mask);
        At += sizeof Mask;
        Scheme = static_cast<std::int32_t>(Number());
        Port = static_cast<std::int32_t>(Number());
    }
    bool Valid() const { return (Mask & ValidBit) != 0; }
    bool Has(std::size_t Field) const { return (Mask & (1u << Field)) != 0; }
    // The next field's text, or empty when it is.
    std::string_view Next(std::size_t Field) {
        if (!Has(Field)) return {};
        const std::size_t size = Number();
        const std::string_view text(At, size);
        At += size;
        return text;
    }
    const char* End() const { return At; }

    std::int32_t Scheme = 0;
    std::int32_t Port = 0;

private:
    std::uint32_t Number() {
        std::uint32_t value = 0;
        for (unsigned shift = 0;; shift += 7) {
            const auto byte = static_cast<unsigned char>(*At++);
            value |= static_cast<std::uint32_t>(byte & 0x7F) << shift;
            if (byte < 0x80) return value;
        }
    }

    const char* At;
    std::uint16_t Mask = 0;
};

} // namespace

// The string fields in block order, for reading (const TURL) or filling (TURL).
template <class TAddress>
auto TPackedURL::Fields(TAddress& Address) {
    return std::array{&Address.UserName, &Address.Password, &Address.HostName,
                      &Address.UrlPath,  &Address.ExtraInfo, &Address.Fragment,
                      &Address.FileURL,  &Address.MailtoURL, &Address.UnusableText};
}

std::uint16_t TPackedURL::MaskOf(const TURL& Address) {
    const auto fields = Fields(Address);
    std::uint16_t mask = Address.Valid ? ValidBit : 0;
    for (std::size_t i = 0; i < fields.size(); ++i)
        if (!fields[i]->empty()) mask |= static_cast<std::uint16_t>(1u << i);
    return mask;
}

bool TPackedURL::IsCleared(const TURL& Address, std::uint16_t Mask) {
    return Mask == 0 && Address.Scheme == SchemeUnknown && Address.Port == 0;
}

std::size_t TPackedURL::PackedSize(const TURL& Address) {
    if (IsCleared(Address, MaskOf(Address))) return 0;
    std::size_t size = sizeof(std::uint16_t) + NumberSize(static_cast<std::uint32_t>(Address.Scheme)) +
                       NumberSize(static_cast<std::uint32_t>(Address.Port));
    for (const std::string* field : Fields(Address))
        if (!field->empty()) size += NumberSize(static_cast<std::uint32_t>(field->size())) + field->size();
    return size;
}

std::size_t TPackedURL::PackedSizeLimit(const TURL& Address) {
    constexpr std::size_t NumberLimit = 5; // a 32-bit number in 7-bit pieces
    std::size_t size = sizeof(std::uint16_t) + 2 * NumberLimit;
    for (const std::string* field : Fields(Address)) size += NumberLimit + field->size();
    return size;
}

std::size_t TPackedURL::PackInto(const TURL& Address, char* Out) {
    const std::uint16_t mask = MaskOf(Address);
    if (IsCleared(Address, mask)) return 0;
    char* const start = Out;
    std::memcpy(Out, &mask, sizeof mask);
    Out += sizeof mask;
    PutNumber(Out, static_cast<std::uint32_t>(Address.Scheme));
    PutNumber(Out, static_cast<std::uint32_t>(Address.Port));
    for (const std::string* field : Fields(Address)) {
        if (field->empty()) continue;
        PutNumber(Out, static_cast<std::uint32_t>(field->size()));
        std::memcpy(Out, field->data(), field->size());
        Out += field->size();
    }
    return static_cast<std::size_t>(Out - start);
}

TPackedURL::TPackedURL(const TURL& Address) {
    const std::size_t size = PackedSize(Address);
    if (size == 0) return;  // a cleared address needs no block
    Data = std::make_unique_for_overwrite<char[]>(size);
    PackInto(Address, Data.get());
}

TPackedURL::TPackedURL(const TPackedURL& Source) {
    if (!Source.Data) return;
    const std::size_t size = Source.Size();
    Data = std::make_unique_for_overwrite<char[]>(size);
    std::memcpy(Data.get(), Source.Data.get(), size);
}

TPackedURL& TPackedURL::operator=(const TPackedURL& Source) {
    if (&Source != this) *this = TPackedURL(Source);
    return *this;
}

std::size_t TPackedURL::Size() const {
    TReader reader(Data.get());
    for (std::size_t i = 0; i < FieldCount; ++i) reader.Next(i);
    return static_cast<std::size_t>(reader.End() - Data.get());
}

TURL TPackedURL::Unpack() const {
    TURL address;
    UnpackInto(address);
    return address;
}

void TPackedURL::UnpackInto(TURL& Address) const { UnpackFrom(Data.get(), Address); }

void TPackedURL::UnpackFrom(const char* Data, TURL& Address) {
    Address.Clear();
    if (!Data) return;
    TReader reader(Data);
    Address.Scheme = reader.Scheme;
    Address.Port = reader.Port;
    Address.Valid = reader.Valid();
    const auto fields = Fields(Address);
    for (std::size_t i = 0; i < fields.size(); ++i) fields[i]->assign(reader.Next(i));
}

bool TPackedURL::PackedIsValid(const char* Data) { return Data && TReader(Data).Valid(); }

std::int32_t TPackedURL::GetScheme() const { return Data ? TReader(Data.get()).Scheme : SchemeUnknown; }

std::string_view TPackedURL::GetHostName() const {
    if (!Data) return {};
    TReader reader(Data.get());
    reader.Next(fUserName);
    reader.Next(fPassword);
    return reader.Next(fHostName);
}

bool TPackedURL::HasExtraInfo() const { return Data && TReader(Data.get()).Has(fExtraInfo); }

} // namespace web
