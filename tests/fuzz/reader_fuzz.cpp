// Fuzz target for the free-form scanner and the value conversions. The first
// byte plans the reads (two bits per read: a text read, or a free-form read
// of three integers, reals or characters); the other bytes are the file.
// Whatever the bytes, the reads must end in values or in one failure: no
// crash, no read outside the bytes, no hang. Each read consumes at least one
// record or fails, so the loop is bounded by the input's length.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "textio/free_form_scanner.h"
#include "textio/value_conversion.h"

namespace {

using namespace linesynth;

enum class Item { text, integer, real, character };

ReadError free_form_read(ByteSource& source, ReadState& state, Item item) {
    reset_read(state);
    for (int n = 0; n < 3; ++n) {
        bool has_value = false;
        const std::size_t limit = item == Item::character ? 1 : token_capacity;
        if (const ReadError error = next_item(source, state, limit, has_value)) {
            return error;
        }
        if (!has_value) {
            continue;
        }
        ReadError error;
        std::int32_t integer = 0;
        float real = 0;
        char character = 0;
        switch (item) {
            case Item::integer:
                error = convert_integer(state.token, integer);
                break;
            case Item::real:
                error = convert_real(state.token, real);
                break;
            case Item::character:
            case Item::text:
                convert_characters(state.token, &character, 1);
                break;
        }
        if (error) {
            return error;
        }
    }
    return finish_free_form(source, state);
}

ReadError text_read(ByteSource& source) {
    char text[80];
    if (const ReadError error = read_text_record(source, text)) {
        return error;
    }
    return skip_record(source);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const unsigned plan = data[0];
    const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    ByteSource source = bytes_source(bytes);
    ReadState state;
    for (unsigned read = 0;; ++read) {
        const auto item = static_cast<Item>((plan >> (2 * (read % 4))) & 3u);
        const ReadError error =
            item == Item::text ? text_read(source) : free_form_read(source, state, item);
        if (error) {
            return 0;
        }
    }
}
