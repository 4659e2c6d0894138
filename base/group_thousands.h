#pragma once

#include <string>
#include <string_view>

namespace quill {

// "1234567" -> "1,234,567"; used for file sizes in the list and the preview.
std::string GroupThousands(std::string_view digits);

}  // namespace quill
