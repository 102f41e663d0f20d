# -*- coding: utf-8 -*-
# Copyright 2026 Quorvella. All rights reserved.

from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r"""
module: vtpx_settings
short_description: The settings the VTPX02/VTPX04 modules of a site hold
description:
  - Writes one parameter file to every module named, through
    C(qvtpx0xtweaker-cli write) on the site's computer (the host), which
    must be on the modules' LAN. Each module is read first; one that holds
    these very bytes is left as it is.
  - The file is the console tool's defaults with I(settings) over them, the
    same for every module.
  - Each module written is read back and compared byte for byte.
  - A module that fails fails the task, with its address and the tool's
    message; the others are still written.
version_added: 1.0.0
author: Quorvella
extends_documentation_fragment:
  - quorvella.vtpx.cli
options:
  addresses:
    description:
      - The modules' IPv4 addresses, ranges of the last number
        (C(192.168.10.21-40)) and subnets (C(192.168.10.0/24)), as the
        console tool takes them. Each module is handled once.
    type: list
    elements: str
    required: true
  settings:
    description:
      - The settings every module should hold. Those left out take the
        console tool's defaults.
      - Each value is checked against the setting's range before anything
        is sent; a value out of range fails the task and sends nothing.
    type: dict
    default: {}
    suboptions:
      arm:
        description: Auto-reboot mode (0 disabled, 1 each night at 2:00, 2 each afternoon at 14:00, 3 watchdog only).
        type: int
      blighlvl:
        description: Backlight level, in percent (0 to 100).
        type: int
      blightout:
        description: Seconds until the backlight goes out (0 to 600; 0 always on).
        type: int
      backlightmenu:
        description: Access to the backlight menu (0 full, 1 read-only).
        type: int
      simulmenu:
        description: Access to the simulation menu (0 full, 1 read-only).
        type: int
      timemenu:
        description: Access to the time menu (0 full, 1 read-only).
        type: int
      networkmenu:
        description: Access to the network menu (0 full, 1 read-only).
        type: int
  backup:
    description:
      - A folder on the host where each module's file is kept, byte for
        byte as read, before any module is written
        (C(DIR/ADDRESS.vtpx_domo)). A module whose file cannot be kept is not
        written.
      - A file kept by an earlier run stays as it was, so the folder holds
        what the site held before its first write. M(quorvella.vtpx.vtpx_restore)
        puts the files back.
    type: path
  force:
    description: Write also the modules that hold these very bytes already.
    type: bool
    default: false
attributes:
  check_mode:
    support: full
    details: Every module is read and nothing is sent, nor kept in I(backup).
  diff_mode:
    support: full
    details: Each module that is, or would be, written, with the settings it held and those it gets.
notes:
  - The host must be on the modules' LAN; the console tool sends nothing off
    the host's own subnets.
"""

EXAMPLES = r"""
- name: The backlight of every module of the site
  quorvella.vtpx.vtpx_settings:
    addresses:
      - 192.168.10.0/24
    settings:
      blighlvl: 60
      blightout: 120
    backup: /var/backups/vtpx

- name: The modules found earlier, alarm in day mode
  quorvella.vtpx.vtpx_settings:
    addresses: "{{ found.modules }}"
    settings:
      arm: 2
"""

RETURN = r"""
modules:
  description: One entry per module, as C(qvtpx0xtweaker-cli --json write) prints it.
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
      description: C(written), C(unchanged), C(would change) (check mode), C(failed) or C(not done).
      type: str
    changes:
      description: What the write changed, or would change, as the console tool says it.
      type: str
      returned: when the module was read
    before:
      description: The settings the module held; C({}) for a file without any, C(null) for no file.
      type: dict
      returned: when the module was read
    after:
      description: The settings of the file written, or that would be.
      type: dict
      returned: when the module was read
    error:
      description: Why the module failed.
      type: str
      returned: when it failed
  sample:
    - address: 192.168.10.21
      ok: true
      result: written
      changes: arm 3->1 blighlvl 80->60
      before: {arm: 3, blighlvl: 80, blightout: 120, backlightmenu: 0, simulmenu: 0, timemenu: 0, networkmenu: 0}
      after: {arm: 1, blighlvl: 60, blightout: 120, backlightmenu: 0, simulmenu: 0, timemenu: 0, networkmenu: 0}
written:
  description: The addresses of the modules written (none in check mode).
  returned: always
  type: list
  elements: str
  sample: [192.168.10.21]
failed_modules:
  description: The addresses of the modules that failed.
  returned: always
  type: list
  elements: str
  sample: [192.168.10.40]
"""

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.quorvella.vtpx.plugins.module_utils.vtpx_cli import (
    COMMON_OPTIONS, SETTING_KEYS, finish, run)


def write_options(module):
    options = []
    for key in SETTING_KEYS:
        value = module.params["settings"].get(key)
        if value is not None:
            options += ["--set", "%s=%d" % (key, value)]
    if module.check_mode:
        options.append("--dry-run")
    elif module.params["backup"]:
        options += ["--backup", module.params["backup"]]
    if module.params["force"]:
        options.append("--force")
    return options


def settings_text(settings):
    return "".join("%s: %s\n" % (key, settings[key]) for key in SETTING_KEYS if key in (settings or {}))


def module_diff(entry):
    return dict(before_header=entry["address"], after_header=entry["address"],
                before=settings_text(entry.get("before")), after=settings_text(entry.get("after")))


def main():
    argument_spec = dict(
        addresses=dict(type="list", elements="str", required=True),
        settings=dict(type="dict", default={}, options=dict((key, dict(type="int")) for key in SETTING_KEYS)),
        backup=dict(type="path"),
        force=dict(type="bool", default=False),
        **COMMON_OPTIONS)
    module = AnsibleModule(argument_spec=argument_spec, supports_check_mode=True)

    rc, modules, _ = run(module, "write", write_options(module), module.params["addresses"])
    changing = [entry for entry in modules if entry["result"] in ("written", "would change")]
    result = dict(changed=bool(changing),
                  written=[entry["address"] for entry in modules if entry["result"] == "written"])
    if module._diff:
        result["diff"] = [module_diff(entry) for entry in changing]
    finish(module, rc, modules, **result)


if __name__ == "__main__":
    main()
