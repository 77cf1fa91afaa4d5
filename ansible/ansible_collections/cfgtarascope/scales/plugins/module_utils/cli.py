# Runs cfgtarascope-cli for the collection's modules: always --json and --quiet, the history
# option, the tool's status turned into a failure, and its JSON document parsed (never its text).
from __future__ import absolute_import, division, print_function

__metaclass__ = type

import json

# Options every module takes, merged into its argument_spec.
COMMON_ARGS = dict(
    conn=dict(type='str', required=True),
    cli=dict(type='str', default='cfgtarascope-cli'),
    history=dict(type='raw'),
)


def history_args(module):
    history = module.params['history']
    if history is None:
        return []
    # `history=false` given as key=value text arrives as a string.
    if history is False or (isinstance(history, str) and history.lower() in ('false', 'no')):
        return ['--no-history']
    if isinstance(history, str) and history:
        return ['--history', history]
    module.fail_json(msg='history: a database file, or false for none')


def run(module, command, args, options=(), accept=(0,)):
    """Runs `cli COMMAND [options] -- CONN ARGS...`; returns (status, document, stderr lines).
    Any status outside `accept` fails the task with the tool's stderr lines and status."""
    p = module.params
    argv = [p['cli'], command, '--json', '--quiet'] + history_args(module) + list(options)
    # After `--` a value starting with a dash is never taken for an option.
    argv += ['--', p['conn']] + [str(a) for a in args]
    rc, out, err = module.run_command(argv, encoding='utf-8', errors='replace')
    lines = [line for line in err.splitlines() if line.strip()]
    document = None
    if out.strip():
        try:
            document = json.loads(out)
        except ValueError:
            module.fail_json(msg='cfgtarascope-cli wrote no JSON document: %s' % out[:200],
                             rc=rc, stderr_lines=lines, cmd=argv)
    # A refusal the tool ends before its document (a read-only item) still says why on stderr.
    if rc not in accept or (document is None and rc != 0):
        fail(module, rc, lines)
    if document is None:
        module.fail_json(msg='cfgtarascope-cli wrote no JSON document', rc=rc,
                         stderr_lines=lines, cmd=argv)
    return rc, document, lines


def fail(module, rc, lines, **result):
    msg = '; '.join(lines) or 'cfgtarascope-cli ended with %d' % rc
    module.fail_json(msg=msg, rc=rc, **result)


def diff_lines(rows):
    """Diff mode's text: one `owner id text: before -> after` line per changed item."""
    return ''.join('%s %s %s: %s -> %s\n' % (r['owner'], r['id'], r['text'], r['before'], r['after'])
                   for r in rows)


def argument_spec(**own):
    options = dict(COMMON_ARGS)
    options.update(own)
    return options
