#pragma once

#include "parms/CodeplugConverter.h"

namespace quillon {

// Converts an image of format 5.10 into format 5.11: a wider header gathering radio-wide values,
// blank-padded group records and names, and the many fields 5.11 defines afresh. The framework
// then moves the block types into word +2 and widens the wide descriptors.
class Converter510To511 : public CodeplugConverter {
public:
    Converter510To511();

protected:
    void ConvertHeader() override;
    void HeaderResized() override;
    void ConvertKindBlock0() override;
    void ConvertKindBlock1() override;
    void ConvertKindBlock4() override;
    void ConvertKindBlock5() override;
    void ConvertSystem0(uint16_t id) override;
    void ConvertSystem1(uint16_t id) override;
    void ConvertSystem3(uint16_t id) override;
    void ConvertSystem4(uint16_t id) override;
    void ConvertSystem5(uint16_t id) override;
    void ConvertGroupTable0(uint16_t ordinal) override;
    void ConvertGroupTable1(uint16_t ordinal) override;
    void ConvertGroupTable2(uint16_t ordinal) override;
    void ConvertGroupTable3(uint16_t ordinal) override;
    void ConvertGroupTable4(uint16_t ordinal) override;
    void ConvertGroup(uint16_t ordinal) override;

private:
    void ConvertSystem13(uint16_t id, bool kind1);
    // Resizes a group table and rebuilds each record: three blank words at record word 6.
    // Returns the table's new span.
    TableSpan RebuildGroupTable(uint16_t ordinal, unsigned table, SizedTable sized);

    bool SystemValuesMoved = false;
    bool HeaderListMoved = false;
};

}  // namespace quillon
