#pragma once
// The UTF-8 conversion facet, compiled from the header-only sources into our own namespace.

#define BOOST_UTF8_BEGIN_NAMESPACE \
    namespace textconv {           \
    namespace detail {
#define BOOST_UTF8_END_NAMESPACE \
    }                            \
    }
#define BOOST_UTF8_DECL

#include <boost/detail/utf8_codecvt_facet.hpp>

#undef MB_LENGTH_MAX
