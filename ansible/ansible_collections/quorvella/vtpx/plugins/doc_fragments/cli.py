# -*- coding: utf-8 -*-
# Copyright 2026 Quorvella. All rights reserved.

from __future__ import absolute_import, division, print_function

__metaclass__ = type


class ModuleDocFragment(object):
    # What every module of the collection takes: the console tool, and how
    # many modules it handles at a time.
    DOCUMENTATION = r"""
requirements:
  - qvtpx0xtweaker-cli 1.0 or later on the host (the package qvtpx0xtweaker)
options:
  jobs:
    description: At most this many modules at a time (the console tool's default, 256, when not given).
    type: int
  executable:
    description: The console tool's path on the host, when it is not C(qvtpx0xtweaker-cli) on the C(PATH).
    type: path
"""
