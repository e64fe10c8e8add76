#pragma once
// zip(a, b, ...): walks two or more containers in step, yielding a tuple of
// references. The sizes are compared before the first step.

#include <cstddef>
#include <exception>
#include <iterator>
#include <tuple>
#include <utility>

namespace Helpers {
namespace Ranges {
namespace details {

class zip_ranges_not_equal : public std::exception
{
public:
    const char *what() const noexcept override { return "zip containers size are not equal"; }
};

template<typename... Containers>
class ZipRange
{
public:
    explicit ZipRange(Containers &...containers) : m_containers(containers...)
    {
        const std::size_t sizes[] = {static_cast<std::size_t>(std::size(containers))...};
        for (std::size_t s : sizes) {
            if (s != sizes[0])
                throw zip_ranges_not_equal();
        }
    }

    class iterator
    {
    public:
        using Iterators = std::tuple<decltype(std::begin(std::declval<Containers &>()))...>;
        explicit iterator(Iterators its) : m_its(std::move(its)) {}
        auto operator*() const
        {
            return std::apply([](auto &...it) { return std::forward_as_tuple(*it...); }, m_its);
        }
        iterator &operator++()
        {
            std::apply([](auto &...it) { (++it, ...); }, m_its);
            return *this;
        }
        bool operator!=(const iterator &other) const { return std::get<0>(m_its) != std::get<0>(other.m_its); }

    private:
        Iterators m_its;
    };

    iterator begin()
    {
        return iterator(std::apply([](auto &...c) { return std::make_tuple(std::begin(c)...); }, m_containers));
    }
    iterator end()
    {
        return iterator(std::apply([](auto &...c) { return std::make_tuple(std::end(c)...); }, m_containers));
    }

private:
    std::tuple<Containers &...> m_containers;
};

} // namespace details

template<typename... Containers>
details::ZipRange<Containers...> zip(Containers &...containers)
{
    static_assert(sizeof...(Containers) >= 2, "zip needs at least two containers");
    return details::ZipRange<Containers...>(containers...);
}

} // namespace Ranges
} // namespace Helpers
