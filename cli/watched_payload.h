#pragma once
// An archive's payload that remembers why reading it failed, so that a cut
// archive is told apart from one the system could not read.

#include "module/payload_source.h"

#include <memory>
#include <optional>

class WatchedPayloadArchive final : public PayloadArchive {
public:
    explicit WatchedPayloadArchive(const PayloadArchive& inner) : inner_(inner) {}
    std::unique_ptr<PayloadReader> Open() const override;

    // Null while nothing failed; 0 when the file ended early, otherwise the
    // errno of the failed open or read.
    std::optional<int> Failure() const { return *failure_; }

private:
    const PayloadArchive& inner_;
    std::shared_ptr<std::optional<int>> failure_ = std::make_shared<std::optional<int>>();
};
