// The ContentTree: an XML element tree in a RapidXml document that decoders
// append to as they recognise payloads. Every non-literal text lives in the
// document's pool, so the tree is freed at once with its document.
#pragma once

#include <string>

#include <rapidxml.hpp>

namespace korvel {

using ContentTree = rapidxml::xml_document<char>;
using ContentNode = rapidxml::xml_node<char>;

// Names of the vocabulary, shared with the list document.
namespace vocab {
inline constexpr const char* kRoot = "idx_bin_all_info";
inline constexpr const char* kEntryNameFormat = "idx_No.%08d";
inline constexpr const char* kOffset = "offset";
inline constexpr const char* kSizeUncomp = "size_uncomp";
inline constexpr const char* kSizeComp = "size_comp";
inline constexpr const char* kFlag = "flag";
inline constexpr const char* kNumber = "number";
inline constexpr const char* kZlib = "zlib";
inline constexpr const char* kPack = "pack";
inline constexpr const char* kG1t = "G1TG";
inline constexpr const char* kG1m = "G1M_";
inline constexpr const char* kUnknown = "unknow";
inline constexpr const char* kRawData = "rawdata";
inline constexpr const char* kOutputId = "output_id";
inline constexpr const char* kContent = "content";
inline constexpr const char* kTexturePage = "g1tg.html";
inline constexpr const char* kModelPage = "g1m_.html";
inline constexpr const char* kTextureSuffix = ".dds";
inline constexpr const char* kModelSuffix = ".G1M_";
}  // namespace vocab

// Appends a new last child. The name must outlive the document (a literal);
// append_element_copy copies it into the pool first.
ContentNode* append_element(ContentNode* parent, const char* name);
ContentNode* append_element_copy(ContentNode* parent, const std::string& name);

// Appends a new last attribute whose value is copied into the pool.
void append_attribute(ContentNode* element, const char* name, const std::string& value);

// The attribute's value, or an empty string when it is missing.
std::string attribute_value(const ContentNode* element, const char* name);

// "." then, for the element and each ancestor carrying "number" (stopping at
// the first without), "\" and that number, outermost first; then the suffix.
std::string output_id_of(const ContentNode* element, const char* suffix);

// Output ids compare case-insensitively (ASCII letters).
bool keys_equal(const std::string& a, const std::string& b);

// The entry number a key names: the decimal number at its start, after an
// optional ".\" (blanks and a sign allowed, no digits reading as 0).
long long entry_number_of_key(const char* key);

}  // namespace korvel
