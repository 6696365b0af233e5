// SPDX-License-Identifier: Apache-2.0
// The tags of a loaded template, parsed once: page after page the generator
// reads the same tags at the same places, so their names, parameters and
// conditions are split the first time and looked up by where they lie after.
#pragma once

#include "generator/template_syntax.h"

#include <array>
#include <cstdint>
#include <string_view>

namespace korvane::generator {

struct parsed_tag {
    tag_kind kind = tag_kind::other;
    std::string_view name, parameter;  // split_tag's
    // A condition split at its operator (split_condition); op is empty when
    // the parameter holds none. Set for START IF only.
    std::string_view left, op, right;
};

class parsed_tags {
public:
    // tag views into the template loaded as number template_number (the
    // engine's tag_at_cursor and template_number): the views the answer holds
    // are valid as long as that template stays loaded. The answer itself is
    // valid until the next parse.
    const parsed_tag& parse(std::string_view tag, std::uint64_t template_number) {
        // Tags lie some bytes apart; the low bits of their address tell them apart.
        const auto address = reinterpret_cast<std::uintptr_t>(tag.data());
        slot& s = slots_[(address ^ address >> 8) % slots_.size()];
        if (s.template_number == template_number && s.at == tag.data() && s.size == tag.size()) {
            return s.tag;
        }
        return fill(s, tag, template_number);
    }

private:
    struct slot {
        std::uint64_t template_number = 0;  // 0: empty (templates count from 1)
        const char* at = nullptr;
        std::size_t size = 0;
        parsed_tag tag;
    };
    // Direct-mapped by where the tag lies: a tag whose slot another took is
    // parsed again.
    std::array<slot, 256> slots_{};

    static const parsed_tag& fill(slot& s, std::string_view tag, std::uint64_t template_number);
};

}  // namespace korvane::generator
