#include "cli/watched_payload.h"

#include <cerrno>

namespace {

class WatchedReader final : public PayloadReader {
public:
    WatchedReader(std::unique_ptr<PayloadReader> inner, std::shared_ptr<std::optional<int>> failure)
        : inner_(std::move(inner)), failure_(std::move(failure))
    {
    }

    bool Seek(std::uint64_t position) override { return Watch([&] { return inner_->Seek(position); }); }

    bool ReadExact(std::uint8_t* buffer, std::size_t length) override
    {
        return Watch([&] { return inner_->ReadExact(buffer, length); });
    }

private:
    template <typename Call> bool Watch(Call call)
    {
        errno = 0;
        const bool done = call();
        if (!done)
            *failure_ = errno;
        return done;
    }

    std::unique_ptr<PayloadReader> inner_;
    std::shared_ptr<std::optional<int>> failure_;
};

} // namespace

std::unique_ptr<PayloadReader> WatchedPayloadArchive::Open() const
{
    errno = 0;
    auto reader = inner_.Open();
    if (!reader) {
        *failure_ = errno;
        return nullptr;
    }
    return std::make_unique<WatchedReader>(std::move(reader), failure_);
}
