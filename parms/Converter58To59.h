#pragma once

#include "parms/CodeplugConverter.h"

namespace quillon {

// Converts an image of format 5.8 into format 5.9: the favourites list, completion of the first
// kind-0 system from its system-kind block, wider system tables and new defaults.
class Converter58To59 : public CodeplugConverter {
public:
    Converter58To59();

protected:
    void ConvertHeader() override;
    void ConvertKindBlock0() override;
    void ConvertSystem0(uint16_t id) override;
    void ConvertSystem1(uint16_t id) override;
    void ConvertSystem3(uint16_t id) override;
    void ConvertSystem4(uint16_t id) override;
    void ConvertSystem5(uint16_t id) override;
    void SystemResized1(uint16_t id) override;
    void SystemResized3(uint16_t id) override;
    void SystemResized4(uint16_t id) override;

private:
    void ConvertSystem13(uint16_t id, unsigned sizedTable9, unsigned sizedTable2);
};

}  // namespace quillon
