#!/usr/bin/env python3
"""Tests of cmake/typelib_time.py on type-library bytes laid out as widl writes its creation time:
the text custom data, padding, then the VT_UI4 custom data with the same moment as a number."""
import os
import struct
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "cmake"))
import typelib_time  # noqa: E402

MOMENT = 1796913667  # Thu Dec 10 14:41:07 2026 UTC


def library(text: bytes, number: int, extra: bytes = b"") -> bytes:
    return (b"MSFT\x02\x00\x01\x00" + b"\x08\x00\x38\x00\x00\x00" + text + b"WW" +
            struct.pack("<HI", 0x13, number) + b"WW" + struct.pack("<HI", 0x13, 0x07000202) + extra)


class TypelibTimeTest(unittest.TestCase):
    created = b"Created by WIDL version 7.0 at Thu Dec 10 14:41:07 2026\n"

    def test_both_times_set_to_the_given_one_and_nothing_else_changes(self):
        fixed = typelib_time.fix_time(library(self.created, MOMENT), 0)
        self.assertEqual(fixed, library(b"Created by WIDL version 7.0 at Thu Jan  1 00:00:00 1970\n", 0))
        later = typelib_time.fix_time(library(self.created, MOMENT), 86400 * 40)
        self.assertEqual(later, library(b"Created by WIDL version 7.0 at Tue Feb 10 00:00:00 1970\n", 86400 * 40))

    def test_libraries_made_at_different_times_come_out_alike(self):
        other = library(b"Created by WIDL version 7.0 at Fri Jan  2 03:04:05 2026\n",
                        1767323045)
        self.assertEqual(typelib_time.fix_time(other, 0), typelib_time.fix_time(library(self.created, MOMENT), 0))

    def test_a_fixed_library_is_left_as_it_is(self):
        fixed = typelib_time.fix_time(library(self.created, MOMENT), 0)
        self.assertEqual(typelib_time.fix_time(fixed, 0), fixed)

    def test_a_library_it_does_not_understand_is_refused(self):
        cases = {
            "no creation text": library(b"made by hand\n", MOMENT),
            "two creation texts": library(self.created + self.created, MOMENT),
            "the number missing": library(self.created, MOMENT + 1),
            "the number twice": library(self.created, MOMENT, struct.pack("<HI", 0x13, MOMENT)),
        }
        for name, data in cases.items():
            with self.subTest(name):
                with self.assertRaises(ValueError):
                    typelib_time.fix_time(data, 0)


if __name__ == "__main__":
    unittest.main()
