#pragma once

#include "link/data_module.h"

#include <optional>
#include <type_traits>
#include <utility>

namespace vardex::test {

// Runs f(ctx) as one operation of dm, the only way the program reaches the link, and
// returns what f returns. The link must be free (tests call it from the top level), so
// the operation runs at once.
template <class F> auto inOperation(link::DataModule &dm, F &&f)
{
    using Result = std::invoke_result_t<F &, link::OperationContext &>;
    if constexpr (std::is_void_v<Result>) {
        dm.runOperation([&](link::OperationContext &ctx) { f(ctx); });
    } else {
        std::optional<Result> result;
        dm.runOperation([&](link::OperationContext &ctx) { result.emplace(f(ctx)); });
        return std::move(result).value();
    }
}

// A sequence function called as one operation: asOperation(dm, readLoop, ctxArgs...).
template <class Fn, class... Args> auto asOperation(link::DataModule &dm, Fn &&fn, Args &&...args)
{
    return inOperation(
        dm, [&](link::OperationContext &ctx) { return fn(ctx, std::forward<Args>(args)...); });
}

} // namespace vardex::test
