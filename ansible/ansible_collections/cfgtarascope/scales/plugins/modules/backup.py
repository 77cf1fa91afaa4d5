# -*- coding: utf-8 -*-
from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r'''
module: backup
short_description: Saves a shop's scale network to a configuration file, when it changed
description:
  - Saves the whole network with C(cfgtarascope-cli save --json) into a temporary file and
    compares its bytes with C(dest). C(dest) is replaced, atomically, only when it did not exist
    or its bytes differ, so the task is C(changed) only when the configuration changed.
  - A read in part (status 5) fails the task and leaves C(dest) as it was.
version_added: 0.1.0
author: CfgTarascope developers
extends_documentation_fragment: [cfgtarascope.scales.cli]
options:
  dest:
    description:
      - The configuration file on the PC. Its folder must exist.
    type: path
    required: true
attributes:
  check_mode:
    description: Reads and saves to a temporary file only; C(changed) says whether C(dest) would
      have been written.
    support: full
  diff_mode:
    description: No diff is returned; the file's bytes are compared.
    support: none
'''

EXAMPLES = r'''
- name: Nightly backup, changed only when the configuration changed
  cfgtarascope.scales.backup:
    conn: "192.168.10.20:3001"
    dest: /var/lib/cfgtarascope/backup.xml
  register: backup

- name: Keep the changed configuration on the control node
  ansible.builtin.fetch:
    src: /var/lib/cfgtarascope/backup.xml
    dest: "backups/{{ inventory_hostname }}.xml"
    flat: true
  when: backup is changed
'''

RETURN = r'''
scales:
  description: The SCALE elements of the file written (or that would be).
  returned: success
  type: int
  sample: 4
items:
  description: The OPTION elements of the file written (or that would be).
  returned: success
  type: int
  sample: 108
rc:
  description: The tool's exit status.
  returned: always
  type: int
'''

import filecmp
import os

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.cfgtarascope.scales.plugins.module_utils import cli


def main():
    module = AnsibleModule(argument_spec=cli.argument_spec(dest=dict(type='path', required=True)),
                           supports_check_mode=True)
    dest = module.params['dest']
    # Checked before the network is read, in the tool's words for its own FILE; in check mode
    # too, as the real run would fail.
    folder = os.path.dirname(os.path.abspath(dest))
    for wrong, why in ((os.path.isdir(dest), 'es una carpeta'),
                       (not os.path.isdir(folder), 'la carpeta no existe'),
                       (not os.access(folder, os.W_OK), 'no se puede escribir en la carpeta')):
        if wrong:
            cli.fail(module, 4, ['%s: %s' % (dest, why)])
    # A folder of the module's own, removed when the module ends: the tool writes a new file
    # there, so a read in part never meets an existing file and dest is never touched.
    saved = os.path.join(module.tmpdir, 'save.xml')
    rc, document, _ = cli.run(module, 'save', [saved])
    try:
        changed = not os.path.exists(dest) or not filecmp.cmp(saved, dest, shallow=False)
    except OSError:
        cli.fail(module, 4, ['%s: no se puede leer' % dest])
    if changed and not module.check_mode:
        module.atomic_move(saved, dest)
    module.exit_json(changed=changed, rc=rc, dest=dest, scales=document.get('scales'),
                     items=document.get('items'))


if __name__ == '__main__':
    main()
