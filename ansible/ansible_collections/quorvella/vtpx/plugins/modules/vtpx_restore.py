# -*- coding: utf-8 -*-
# Copyright 2026 Quorvella. All rights reserved.

from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r"""
module: vtpx_restore
short_description: Puts back the files of VTPX02/VTPX04 modules kept in a folder
description:
  - Writes each module's file kept in a folder of the host (by
    the I(backup) of M(quorvella.vtpx.vtpx_settings), or the
    console tool's C(read --save)) back to its module, byte for byte, and
    reads it back, through C(qvtpx0xtweaker-cli restore) on the site's
    computer (the host).
  - Only what a read would take as a module's file is sent; a kept file
    that holds none of the settings is not, unless I(force) is given.
  - A module that fails fails the task, with its address and the console
    tool's message; the others are still restored.
version_added: 1.0.0
author: Quorvella
extends_documentation_fragment:
  - quorvella.vtpx.cli
options:
  folder:
    description: The folder on the host that holds the kept files (C(ADDRESS.vtpx_domo)).
    type: path
    required: true
  addresses:
    description: Only these modules (addresses, ranges, subnets); all the folder's when none is given.
    type: list
    elements: str
    default: []
  force:
    description: Send also a kept file that holds none of the settings.
    type: bool
    default: false
attributes:
  check_mode:
    support: none
  diff_mode:
    support: none
notes:
  - Every kept file is sent, even to a module that holds it already, so a
    task that restored a module always reports C(changed).
"""

EXAMPLES = r"""
- name: What the site held before its first write
  quorvella.vtpx.vtpx_restore:
    folder: /var/backups/vtpx
"""

RETURN = r"""
modules:
  description: One entry per module, as C(qvtpx0xtweaker-cli --json restore) prints it.
  returned: always
  type: list
  elements: dict
  contains:
    address:
      description: The module's address.
      type: str
    ok:
      description: Whether the module succeeded.
      type: bool
    result:
      description: C(restored), C(failed) or C(not done).
      type: str
    bytes:
      description: The size of the file sent back.
      type: int
      returned: when it was restored
    error:
      description: Why the module failed.
      type: str
      returned: when it failed
  sample:
    - {address: 192.168.10.21, ok: true, result: restored, bytes: 349}
restored:
  description: The addresses of the modules restored.
  returned: always
  type: list
  elements: str
  sample: [192.168.10.21]
failed_modules:
  description: The addresses of the modules that failed.
  returned: always
  type: list
  elements: str
  sample: []
"""

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.quorvella.vtpx.plugins.module_utils.vtpx_cli import (
    COMMON_OPTIONS, finish, run)


def main():
    module = AnsibleModule(argument_spec=dict(folder=dict(type="path", required=True),
                                              addresses=dict(type="list", elements="str", default=[]),
                                              force=dict(type="bool", default=False),
                                              **COMMON_OPTIONS))
    options = ["--force"] if module.params["force"] else []
    rc, modules, _ = run(module, "restore", options, [module.params["folder"]] + module.params["addresses"])
    restored = [entry["address"] for entry in modules if entry["result"] == "restored"]
    finish(module, rc, modules, changed=bool(restored), restored=restored)


if __name__ == "__main__":
    main()
