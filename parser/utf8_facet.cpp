// Builds the UTF-8 facet's out-of-line members (declared through parser/utf8_facet.h).
#include "parser/utf8_facet.h"

#include <boost/detail/utf8_codecvt_facet.ipp>
