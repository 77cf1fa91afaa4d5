# -*- coding: utf-8 -*-
from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r'''
module: facts
short_description: Gathers the scales and items of a shop's scale network
description:
  - Reads the whole network with C(cfgtarascope-cli read --json) and sets
    C(ansible_facts.cfgtarascope). Never changes anything.
version_added: 0.1.0
author: CfgTarascope developers
extends_documentation_fragment: [cfgtarascope.scales.cli]
attributes:
  check_mode:
    description: Reads in check mode as well; it never writes.
    support: full
  diff_mode:
    description: Never changes anything, so there is nothing to show.
    support: N/A
'''

EXAMPLES = r'''
- name: What the shop's scales hold
  cfgtarascope.scales.facts:
    conn: "192.168.10.20:3001"

- name: Show the shop's scales
  ansible.builtin.debug:
    msg: "{{ ansible_facts.cfgtarascope.scales | map(attribute='number') | list }}"
'''

RETURN = r'''
ansible_facts:
  description: The network as read.
  returned: success
  type: complex
  contains:
    cfgtarascope:
      description: C(scales) and C(items).
      type: dict
      returned: success
      sample:
        scales: [{number: 1, mostrador: 1, mac: "0A1B2C3D4E"}]
        items: [{owner: 0, id: 13, text: "Tiempo espera = 13", type: number, value: "13",
                 editable: true}]
rc:
  description: The tool's exit status.
  returned: always
  type: int
'''

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.cfgtarascope.scales.plugins.module_utils import cli

ITEM_KEYS = ('owner', 'id', 'text', 'type', 'value', 'editable')


def gather(nodes, scales, items):
    # Tree order, which is the network's order of scales and the tables' order of items.
    for node in nodes:
        if 'scale' in node:
            scales.append(dict(number=node['scale'], mostrador=node.get('mostrador'),
                               mac=node.get('mac')))
        if 'owner' in node and 'id' in node:
            items.append(dict((k, node.get(k)) for k in ITEM_KEYS))
        gather(node.get('children', ()), scales, items)


def main():
    module = AnsibleModule(argument_spec=cli.argument_spec(), supports_check_mode=True)
    rc, document, _ = cli.run(module, 'read', [])
    scales, items = [], []
    gather(document.get('tree', ()), scales, items)
    module.exit_json(changed=False, rc=rc,
                     ansible_facts=dict(cfgtarascope=dict(scales=scales, items=items)))


if __name__ == '__main__':
    main()
