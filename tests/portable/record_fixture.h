// Host records placed inside a pattern-filled buffer, so a test can tell exactly which
// bytes a call wrote, and that nothing outside the record's own fields changed.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

constexpr uint8_t kPattern = 0xA5;

template <class Record> class PatternFilled {
public:
    // The record sits at the start; guard bytes follow it, as the host's own fields would.
    static constexpr size_t kGuard = 32;

    PatternFilled() : bytes_(sizeof(Record) + kGuard, kPattern) {}

    Record& operator*() { return *reinterpret_cast<Record*>(bytes_.data()); }
    Record* operator->() { return reinterpret_cast<Record*>(bytes_.data()); }

    // True when every byte outside [offset, offset + size) of the listed fields still holds
    // the pattern.
    struct Field {
        size_t offset;
        size_t size;
    };
    ::testing::AssertionResult OnlyWritten(std::initializer_list<Field> fields) const {
        for (size_t i = 0; i < bytes_.size(); ++i) {
            bool inField = false;
            for (const Field& f : fields)
                inField |= i >= f.offset && i < f.offset + f.size;
            if (!inField && bytes_[i] != kPattern)
                return ::testing::AssertionFailure() << "byte " << i << " was written";
        }
        return ::testing::AssertionSuccess();
    }
    bool Untouched(size_t offset, size_t size) const {
        for (size_t i = offset; i < offset + size; ++i)
            if (bytes_[i] != kPattern)
                return false;
        return true;
    }

private:
    std::vector<uint8_t> bytes_;
};

#define FIELD_OF(Record, member) \
    { offsetof(Record, member), sizeof(Record::member) }
