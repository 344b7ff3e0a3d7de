#pragma once

#include <cstddef>
#include <streambuf>
#include <string>

namespace base {

// A string reused from one file to the next keeps its room up to this size;
// a larger file's room is given back once it is done with.
constexpr std::size_t KeptStringRoom = std::size_t{1} << 20;

inline void GiveBackLargeRoom(std::string& Text) {
    if (Text.capacity() > KeptStringRoom) Text = std::string();
}

// An output stream's buffer that appends to a string: a text built through
// a std::ostream in room that the string keeps from one use to the next.
class TStringSink : public std::streambuf {
public:
    explicit TStringSink(std::string& Text) : Text(Text) {}

protected:
    int_type overflow(int_type Ch) override {
        if (!traits_type::eq_int_type(Ch, traits_type::eof())) Text.push_back(traits_type::to_char_type(Ch));
        return traits_type::not_eof(Ch);
    }
    std::streamsize xsputn(const char* Data, std::streamsize Count) override {
        Text.append(Data, static_cast<std::size_t>(Count));
        return Count;
    }

private:
    std::string& Text;
};

} // namespace base
