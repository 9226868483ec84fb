// member_batch.cpp - the process-wide member batch (see member_batch.h).
#include "extract/member_batch.h"

namespace tovra::extract {

std::array<MemberInfo, kMemberBatchSize>& MemberBatch() {
    static std::array<MemberInfo, kMemberBatchSize> batch;
    return batch;
}

bool& FirstEncryptedMemberFlag() {
    static bool flag = false;
    return flag;
}

}  // namespace tovra::extract
