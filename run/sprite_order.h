// The order sprites are listed and converted in, the same for the command
// line and the page: ASCII letters compared without regard to case, every
// other byte by its unsigned value, names equal but for case by their plain
// bytes. (The Windows program's list keeps the order of its list control.)
#pragma once

#include <string>
#include <vector>

// Sorts names into the listing order.
void SortSpriteNames(std::vector<std::string>& names);

// For the page: json is a JSON array of names (strings, UTF-8); returns the
// JSON array of their indices in the listing order ("[2,0,1]"), or an empty
// string when json is not an array of strings.
std::string SpriteOrderJson(const std::string& json);
