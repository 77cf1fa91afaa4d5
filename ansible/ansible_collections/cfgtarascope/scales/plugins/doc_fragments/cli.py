# -*- coding: utf-8 -*-
# The options and failures every module of the collection shares.
from __future__ import absolute_import, division, print_function

__metaclass__ = type


class ModuleDocFragment(object):
    DOCUMENTATION = r'''
notes:
  - Runs on the shop's PC, where the tool is installed; each run reads the whole network once.
  - A network that cannot be reached (status 3), a file that is not valid (4), a usage error (2)
    and a read in part (5) fail the task with the tool's stderr lines joined by C(; ) in C(msg)
    and its status in C(rc).
options:
  conn:
    description:
      - The shop's server scale as the tool takes it, C(HOST:PORT) (C(192.168.10.20:3001)) or
        C(serial:DEVICE:SPEED,PARITY,BITS) (C(serial:/dev/ttyUSB0:19200,E,8)).
    type: str
    required: true
  cli:
    description: The tool's path, without arguments.
    type: str
    default: cfgtarascope-cli
  history:
    description:
      - The history database the tool records in (passed as C(--history FILE)), or C(false) to
        record nothing (C(--no-history)). When not given, the tool's own C(history.db).
    type: raw
'''
