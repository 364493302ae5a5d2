#include "transfer/TransferBase.h"

#include "serial/CancelFlag.h"

namespace quillon {

bool TransferBase::Cancelled() const {
    return cancel_ != nullptr && cancel_->Cancelled();
}

}  // namespace quillon
