#include "trigger/key_table.h"

#include "base/bytes.h"

#include <cstring>

namespace zlt {

namespace {

constexpr char kMagicNumber[4] = {'N', 'V', 'K', '\0'};
constexpr char kModelIdText[key_table::kModelIdSize] = "ZLT-900";
constexpr std::uint16_t kConstantPair[2] = {512, 0};

// The link time stamp's fields in the order they are stored.
constexpr std::uint16_t LinkTime::*kStampFields[] = {
    &LinkTime::year, &LinkTime::month,  &LinkTime::dayOfWeek, &LinkTime::day,
    &LinkTime::hour, &LinkTime::minute, &LinkTime::second,    &LinkTime::millisecond,
};

}  // namespace

void PutModelId(KeyTable kt) { std::memcpy(&kt[key_table::kModelId], kModelIdText, sizeof kModelIdText); }

std::string ModelIdOf(KeyTableView kt) {
    const char* field = reinterpret_cast<const char*>(&kt[key_table::kModelId]);
    return std::string(field, strnlen(field, key_table::kModelIdSize));
}

void PutKeyTableHead(KeyTable kt, const LinkTime& time) {
    std::memcpy(&kt[key_table::kMagic], kMagicNumber, sizeof kMagicNumber);
    PutU16(&kt[key_table::kConstantPair], kConstantPair[0]);
    PutU16(&kt[key_table::kConstantPair + 2], kConstantPair[1]);
    std::size_t at = key_table::kLinkTime;
    for (auto field : kStampFields) {
        PutU16(&kt[at], time.*field);
        at += 2;
    }
}

bool HasKeyTableMagic(KeyTableView kt) {
    return std::memcmp(&kt[key_table::kMagic], kMagicNumber, sizeof kMagicNumber) == 0;
}

LinkTime LinkTimeOf(KeyTableView kt) {
    LinkTime time{};
    std::size_t at = key_table::kLinkTime;
    for (auto field : kStampFields) {
        time.*field = GetU16(&kt[at]);
        at += 2;
    }
    return time;
}

}  // namespace zlt
