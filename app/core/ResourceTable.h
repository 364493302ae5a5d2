#pragma once

#include <span>
#include <string>
#include <string_view>

namespace quillon {

// One named read-only resource of type "TEXT": its bytes are [begin, end).
struct ResourceEntry {
    const char* name;
    const unsigned char* begin;
    const unsigned char* end;
};

// Where the update logic opens the program's own resources by name.
class ResourceStore {
public:
    virtual ~ResourceStore() = default;
    // The bytes of the resource `name` (case ignored), or false when there is none.
    virtual bool Find(std::string_view name, std::string_view& bytes) const = 0;
};

// Resources listed in a table (the program's embedded table, or a test's).
class ResourceTable : public ResourceStore {
public:
    explicit ResourceTable(std::span<const ResourceEntry> entries) : entries_(entries) {}
    bool Find(std::string_view name, std::string_view& bytes) const override;

private:
    std::span<const ResourceEntry> entries_;
};

// Defined by the build's generated resource library (quillon_embedded): the resources of the
// profile this program was built for, and the program's file name (without folder and suffix).
std::span<const ResourceEntry> EmbeddedResourceEntries();
const char* EmbeddedProgramName();

}  // namespace quillon
