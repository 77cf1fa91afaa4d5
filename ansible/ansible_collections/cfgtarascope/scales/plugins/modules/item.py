# -*- coding: utf-8 -*-
from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r'''
module: item
short_description: Programs one item of a shop's scale network when its value differs
description:
  - Programs one item as the desktop program's "Modificar Valor" does, with
    C(cfgtarascope-cli set --changes-only --json), so nothing is sent when the scale already
    holds the value (numbers compared as numbers).
  - An item refused by the scale, a value the item does not take, an item the network lacks
    and an item of order 100 or above (read-only) fail the task.
version_added: 0.1.0
author: CfgTarascope developers
extends_documentation_fragment: [cfgtarascope.scales.cli]
options:
  owner:
    description: 0 for the system (the common data), else the scale's number.
    type: int
    required: true
  id:
    description: The item's ID.
    type: int
    required: true
  value:
    description:
      - What the item editor would hold. For an enumeration, an option's index or its text (case
        and accents ignored); for a number, a string or a date (C(dd/mm/yy)), the text.
      - A string or a number; quote texts YAML would read as booleans (C("No")).
    type: raw
    required: true
attributes:
  check_mode:
    description: Runs C(set --dry-run), which validates and sends nothing; C(changed) when the
      item would be programmed.
    support: full
  diff_mode:
    description: "C(diff.after) holds C(owner id text: before -> after) when the item changes."
    support: full
'''

EXAMPLES = r'''
- name: Ticket header of every shop
  cfgtarascope.scales.item:
    conn: "192.168.10.20:3001"
    owner: 0
    id: 20
    value: "Carnicería Hermanos Peña"

- name: Scale 3 in English, by the option's text
  cfgtarascope.scales.item:
    conn: "192.168.10.20:3001"
    owner: 3
    id: 10
    value: Inglés
'''

RETURN = r'''
before:
  description: The value the scale held, as C(set --json) gives it (an option index for an
    enumeration).
  returned: success, and when the item was refused
  type: str
  sample: "13"
after:
  description: The value after the re-read (in check mode, the value it would take), as
    C(set --json) gives it.
  returned: success, and when the item was refused
  type: str
  sample: "20"
outcome:
  description: C(accepted), C(unchanged) or C(would-change) (check mode); C(refused), C(failed)
    or C(invalid) fail the task.
  returned: success, and when the item was refused
  type: str
reason:
  description: The scale's reason for a refusal.
  returned: when the item was refused
  type: str
rc:
  description: The tool's exit status.
  returned: always
  type: int
'''

from ansible.module_utils.basic import AnsibleModule
from ansible.module_utils.six import string_types
from ansible_collections.cfgtarascope.scales.plugins.module_utils import cli

CHANGED = ('accepted', 'would-change')


def main():
    module = AnsibleModule(
        argument_spec=cli.argument_spec(owner=dict(type='int', required=True),
                                        id=dict(type='int', required=True),
                                        value=dict(type='raw', required=True)),
        supports_check_mode=True)
    p = module.params
    value = p['value']
    # YAML's yes/no would reach the scale as "True"/"False".
    if isinstance(value, bool) or not isinstance(value, string_types + (int, float)):
        module.fail_json(msg='value: a string or a number (quote a text such as "No")')
    options = ['--dry-run'] if module.check_mode else ['--changes-only']
    rc, document, lines = cli.run(module, 'set', [p['owner'], p['id'], value], options,
                                  accept=(0, 1))
    outcome = document.get('outcome')
    result = dict(outcome=outcome, before=document.get('before'),
                  after=document.get('value'))
    if 'reason' in document:
        result['reason'] = document['reason']
    changed = outcome in CHANGED
    if module._diff and changed:
        row = dict(owner=document.get('owner'), id=document.get('id'), text=document.get('text'),
                   before=result['before'], after=result['after'])
        result['diff'] = dict(before='', after=cli.diff_lines([row]))
    if rc != 0 or outcome not in CHANGED + ('unchanged',):
        cli.fail(module, rc or 1, lines, **result)
    module.exit_json(changed=changed, rc=rc, **result)


if __name__ == '__main__':
    main()
