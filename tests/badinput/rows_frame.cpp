// getVendorName, init, refreshMPIO and deleteMPIODevice: the entry points without a device.
#include <string>

#include "bad_input_row.h"

namespace bad_input {

std::vector<Row> frameRows() {
    const std::vector<Row> vendor = {
        row(Entry::getVendorName).script(Script::NoInit).gives(kVendor),
        row(Entry::getVendorName).gives(kVendor),
    };
    const std::vector<Row> init = {
        row(Entry::init)
            .nulls(kNullErrorCode | kNullErrorMessage)
            .gives(kNullResult)
            .runs(Runs::Nothing),
        row(Entry::init).nulls(kNullContext).gives(kVendor),
        row(Entry::init)
            .script(Script::MajorsGarbage)
            .gives(kNullResult)
            .logsRefusal("that is not a major number"),
        row(Entry::init)
            .script(Script::LongErrorText)
            .gives(kNullResult)
            .note("init reports a failure by its result alone"),
    };
    const std::string longError(5000, 'e');
    const std::vector<Row> refresh = {
        row(Entry::refreshMPIO).nulls(kNullContext).gives(0).code(0).messageZeroed(),
        row(Entry::refreshMPIO).script(Script::LongErrorText).gives(1).code(1).message(longError),
    };
    const std::vector<Row> remove = {
        row(Entry::deleteMPIODevice).with(Name::Null).gives(0).runs(Runs::Nothing),
        row(Entry::deleteMPIODevice).with(Name::WildPointer).gives(0).runs(Runs::Nothing),
        row(Entry::deleteMPIODevice).with(Name::LongerThanPathMax).gives(0).runs(Runs::Nothing),
        row(Entry::deleteMPIODevice)
            .with(Name::Semicolon)
            .nulls(kNullContext)
            .gives(0)
            .runs(Runs::Nothing),
    };
    return joined({vendor, nullOutputRows(row(Entry::init), kNullResult), init,
                   nullOutputRows(row(Entry::refreshMPIO), -1), refresh,
                   nullOutputRows(row(Entry::deleteMPIODevice).with(Name::Missing), -1), remove});
}

}  // namespace bad_input
