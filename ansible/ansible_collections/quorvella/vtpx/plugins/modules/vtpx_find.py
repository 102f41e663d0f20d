# -*- coding: utf-8 -*-
# Copyright 2026 Quorvella. All rights reserved.

from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r"""
module: vtpx_find
short_description: The VTPX02/VTPX04 modules on a site's LAN
description:
  - Lists the modules on the host's subnets, or on those named, through
    C(qvtpx0xtweaker-cli find) on the site's computer (the host). An address
    is a module when its FTP server takes the anonymous login and holds the
    module's file.
  - Changes nothing, on the host or on the modules.
version_added: 1.0.0
author: Quorvella
extends_documentation_fragment:
  - quorvella.vtpx.cli
options:
  subnets:
    description:
      - The subnets to scan (C(192.168.10.0/24)), each one of the host's own.
        When none is given, every subnet of the host's interfaces that are up
        (loopback excepted) that fits the console tool's bound on addresses.
    type: list
    elements: str
    default: []
attributes:
  check_mode:
    support: full
    details: It changes nothing, so it runs in check mode as it does otherwise.
  diff_mode:
    support: none
"""

EXAMPLES = r"""
- name: The modules of the site
  quorvella.vtpx.vtpx_find:
  register: found

- name: Their backlight
  quorvella.vtpx.vtpx_settings:
    addresses: "{{ found.modules }}"
    settings:
      blighlvl: 60
"""

RETURN = r"""
modules:
  description: The modules' addresses, in ascending order.
  returned: always
  type: list
  elements: str
  sample: [192.168.10.21, 192.168.10.22]
"""

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.quorvella.vtpx.plugins.module_utils.vtpx_cli import COMMON_OPTIONS, run


def main():
    module = AnsibleModule(argument_spec=dict(subnets=dict(type="list", elements="str", default=[]),
                                              **COMMON_OPTIONS),
                           supports_check_mode=True)
    rc, found, err = run(module, "find", [], module.params["subnets"])
    result = dict(changed=False, modules=[entry["address"] for entry in found if entry.get("ok")])
    if rc != 0:
        # The addresses whose server answered and then failed, in the tool's words.
        module.fail_json(msg="; ".join(err.strip().splitlines()), rc=rc, stderr=err, **result)
    module.exit_json(**result)


if __name__ == "__main__":
    main()
