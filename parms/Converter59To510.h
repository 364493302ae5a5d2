#pragma once

#include "parms/CodeplugConverter.h"

namespace quillon {

// Converts an image of format 5.9 into format 5.10: a wider header, new system tables, larger
// records, 4-bit values moved into 6-bit fields and new defaults. Word +2 of every block must
// already be in the newer layout.
class Converter59To510 : public CodeplugConverter {
public:
    Converter59To510();

protected:
    void ConvertHeader() override;
    void ConvertKindBlock0() override;
    void ConvertSystem0(uint16_t id) override;
    void ConvertSystem1(uint16_t id) override;
    void ConvertSystem3(uint16_t id) override;
    void ConvertSystem4(uint16_t id) override;
    void ConvertSystem5(uint16_t id) override;
    void SystemResized4(uint16_t id) override;
    void SystemResized5(uint16_t id) override;
    void ConvertGroupTable0(uint16_t ordinal) override;
    void ConvertGroupTable1(uint16_t ordinal) override;
    void ConvertGroupTable2(uint16_t ordinal) override;
    void ConvertGroupTable3(uint16_t ordinal) override;
    void ConvertGroupTable4(uint16_t ordinal) override;

private:
    // Builds 3-word table `target` from the records of table `source`; `wholeWord0` copies
    // word 0 whole instead of its bits 0-11.
    void BuildThreeWordTable(uint16_t block, unsigned target, unsigned source, bool wholeWord0);
    void RaiseChannelSpacing(uint32_t index, uint16_t mask, unsigned shift);
    void ConvertSystem13(uint16_t id, uint16_t table5Size, uint16_t table6Size,
                         unsigned defaultTable, unsigned threeWordTable);
    void RewriteGroupTableSize(uint16_t ordinal, unsigned table, SizedTable sized);
};

}  // namespace quillon
