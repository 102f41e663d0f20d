# -*- coding: utf-8 -*-
# Copyright 2026 Quorvella. All rights reserved.
"""What the collection's modules share: the console tool of the site's
computer, found and checked, run with --json, and its lines read. The tool
does all the work; the modules only turn its lines into Ansible's results.
"""

from __future__ import absolute_import, division, print_function

__metaclass__ = type

import json
import os
import re

TOOL = "qvtpx0xtweaker-cli"
# The first version whose JSON lines hold what the modules read
# ("result", "before", "after").
MINIMUM_VERSION = (1, 0)
WHAT_TO_INSTALL = "install the package qvtpx0xtweaker %d.%d or later on this host" % MINIMUM_VERSION

# The options every module takes.
COMMON_OPTIONS = dict(
    jobs=dict(type="int"),
    executable=dict(type="path"),
)

# The settings, in the order the tool names them.
SETTING_KEYS = ("arm", "blighlvl", "blightout", "backlightmenu", "simulmenu", "timemenu", "networkmenu")


def tool_path(module):
    """The console tool, or the task's failure naming what to install."""
    path = module.params["executable"] or module.get_bin_path(TOOL)
    if not path:
        module.fail_json(msg="%s is not on this host: %s" % (TOOL, WHAT_TO_INSTALL))
    if not os.access(path, os.X_OK):
        module.fail_json(msg="%s is not a program on this host: %s" % (path, WHAT_TO_INSTALL))
    rc, out, err = module.run_command([path, "--version"])
    found = re.match(r"^%s (\d+)\.(\d+)" % re.escape(TOOL), out)
    if rc != 0 or not found:
        module.fail_json(msg="%s is not %s, or too old to tell its version: %s" % (path, TOOL, WHAT_TO_INSTALL),
                         rc=rc, stdout=out, stderr=err)
    version = (int(found.group(1)), int(found.group(2)))
    if version < MINIMUM_VERSION:
        module.fail_json(msg="%s is version %d.%d, too old: %s" % ((path,) + version + (WHAT_TO_INSTALL,)))
    return path


def run(module, command, options, operands):
    """Runs COMMAND with --json and returns its exit code, the modules'
    objects in the order of their addresses, and its standard error. Refused arguments (exit code 2, nothing sent) and an
    interrupted run fail the task, with the tool's own words."""
    argv = [tool_path(module), "--json"] + options
    if module.params["jobs"] is not None:
        argv += ["--jobs", str(module.params["jobs"])]
    # After "--", an operand is never taken for an option.
    argv += ["--", command] + operands
    rc, out, err = module.run_command(argv)
    try:
        modules = [json.loads(line) for line in out.splitlines() if line.strip()]
    except ValueError as error:
        module.fail_json(msg="%s printed a line that is not JSON: %s" % (TOOL, error), rc=rc, stdout=out,
                         stderr=err, cmd=argv)
    modules.sort(key=address_order)
    if rc >= 2:
        lines = err.strip().splitlines()
        module.fail_json(msg=lines[-1] if lines else "%s exited with %d" % (TOOL, rc), rc=rc, stderr=err,
                         cmd=argv, modules=modules)
    return rc, modules, err


def address_order(entry):
    """Addresses in ascending order, as the tool compares them; anything
    else after them (an address the tool refused)."""
    parts = entry["address"].split(".")
    if len(parts) == 4 and all(part.isdigit() for part in parts):
        return (0, [int(part) for part in parts], "")
    return (1, [], entry["address"])


def finish(module, rc, modules, **result):
    """Ends the task with the modules' entries and the addresses of those
    that failed: a failure, with each one's address and error, when any
    did, or the tool did not exit 0."""
    failed = [entry for entry in modules if not entry.get("ok")]
    result.update(modules=modules, failed_modules=[entry["address"] for entry in failed])
    if failed or rc != 0:
        module.fail_json(msg="%d of %d modules failed: %s" % (
            len(failed), len(modules),
            "; ".join("%s: %s" % (entry["address"], entry.get("error", "")) for entry in failed)), rc=rc, **result)
    module.exit_json(**result)
