# -*- coding: utf-8 -*-
from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r'''
module: config
short_description: Sends a configuration file to a shop's scale network
description:
  - Reads the network once, loads C(src) into what was read with C(cfgtarascope-cli load --json)
    and sends the items whose value changed (C(--changes-only)), or everything with
    C(changes_only=false).
  - C(changed) when at least one item that differed was accepted. An item refused, unanswered
    or not sent fails the task with C(rc) 1, the tool's lines naming each; items the load
    ignored with a log line do not count.
version_added: 0.1.0
author: CfgTarascope developers
extends_documentation_fragment: [cfgtarascope.scales.cli]
options:
  src:
    description: The configuration file on the PC, as the tool or the desktop program saves it.
    type: path
    required: true
  changes_only:
    description: Send only the items whose value differs from what the scales hold.
    type: bool
    default: true
attributes:
  check_mode:
    description: Runs C(load --dry-run), which sends nothing; C(changed) when at least one item
      differs, and C(send) is null. A shop that cannot be read fails as it would in a real run.
    support: full
  diff_mode:
    description: "C(diff.after) holds one line per changed item, C(owner id text: before -> after)."
    support: full
'''

EXAMPLES = r'''
- name: Check a shop against the chain's reference (run with --check --diff)
  cfgtarascope.scales.config:
    conn: "192.168.10.20:3001"
    src: /var/lib/cfgtarascope/reference.xml

- name: Send everything, not only what changed
  cfgtarascope.scales.config:
    conn: "serial:/dev/ttyUSB0:19200,E,8"
    src: /var/lib/cfgtarascope/reference.xml
    changes_only: false
'''

RETURN = r'''
changes:
  description: The items whose value the file changes, as C(load --json) gives them.
  returned: success, and when an item was refused
  type: list
  elements: dict
  sample: [{owner: 0, id: 13, text: Tiempo espera, before: "13", after: "20"}]
send:
  description:
    - What became of the send, as C(load --json) gives it (counts, and C(items) with each
      C(outcome)); null in check mode.
  returned: success, and when an item was refused
  type: dict
  sample: {accepted: 1, refused: 0, unanswered: 0, skipped: 0, unchanged: 0,
           items: [{owner: 0, id: 13, text: Tiempo espera, value: "20", outcome: accepted}]}
rc:
  description: The tool's exit status.
  returned: always
  type: int
'''

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.cfgtarascope.scales.plugins.module_utils import cli

NOT_PUT_IN_PLACE = ('refused', 'unanswered', 'skipped', 'cancelled')


def main():
    module = AnsibleModule(
        argument_spec=cli.argument_spec(src=dict(type='path', required=True),
                                        changes_only=dict(type='bool', default=True)),
        supports_check_mode=True)
    p = module.params
    if module.check_mode:
        options = ['--dry-run']
    else:
        options = ['--changes-only'] if p['changes_only'] else []
    rc, document, lines = cli.run(module, 'load', [p['src']], options, accept=(0, 1))
    changes = document.get('changes') or []
    send = document.get('send')
    result = dict(changes=changes, send=send)
    if module._diff:
        result['diff'] = dict(before='', after=cli.diff_lines(changes))
    sent = (send or {}).get('items') or []
    if rc != 0 or any(item.get('outcome') in NOT_PUT_IN_PLACE for item in sent):
        cli.fail(module, rc or 1, lines, **result)
    if module.check_mode:
        result['changed'] = bool(changes)
    else:
        # A whole send also rewrites items that were already right: those change nothing.
        differed = set((row['owner'], row['id']) for row in changes)
        result['changed'] = any(item.get('outcome') == 'accepted' and
                                (item.get('owner'), item.get('id')) in differed for item in sent)
    module.exit_json(rc=rc, **result)


if __name__ == '__main__':
    main()
