#pragma once

#include "cardreads.h"

#include <type_traits>
#include <utility>

// The driver's functions, each wrapped so that Hooks::before(call) runs right before it and
// Hooks::after(call, result) right after it returns, arguments and result passed through.
// Hooks::driver() gives the functions wrapped. The wrappers are plain functions, one per
// function and Hooks, so the reads call them as they call the library's own.
template<typename Hooks>
DriverFunctions hookedDriver();

namespace hooked {

template<typename Hooks, DriverCall Call, typename Function, Function DriverFunctions::*Member>
struct Wrapper;

template<typename Hooks, DriverCall Call, typename Result, typename... Args, Result (*DriverFunctions::*Member)(Args...)>
struct Wrapper<Hooks, Call, Result (*)(Args...), Member> {
    static Result call(Args... args)
    {
        Hooks::before(Call);
        const Result result = (Hooks::driver().*Member)(args...);
        Hooks::after(Call, int64_t(result));
        return result;
    }
};

template<typename Hooks, DriverCall Call, auto Member>
constexpr auto wrap()
{
    using Function = std::remove_reference_t<decltype(std::declval<DriverFunctions>().*Member)>;
    return &Wrapper<Hooks, Call, Function, Member>::call;
}

}

template<typename Hooks>
DriverFunctions hookedDriver()
{
    using namespace hooked;
    return DriverFunctions{wrap<Hooks, DriverCall::Open, &DriverFunctions::open>(),
                           wrap<Hooks, DriverCall::GetSamId, &DriverFunctions::getSamId>(),
                           wrap<Hooks, DriverCall::PowerOff, &DriverFunctions::powerOff>(),
                           wrap<Hooks, DriverCall::PowerOn, &DriverFunctions::powerOn>(),
                           wrap<Hooks, DriverCall::Authenticate, &DriverFunctions::authenticate>(),
                           wrap<Hooks, DriverCall::ReadBaseMessage, &DriverFunctions::readBaseMessage>(),
                           wrap<Hooks, DriverCall::Close, &DriverFunctions::close>(),
                           wrap<Hooks, DriverCall::ReadSocial, &DriverFunctions::readSocial>()};
}
