# fish completion for tarvik(1) and tarvik-app(1)

set -l commands list stop vitals doctor storage net
complete -c tarvik -f
complete -c tarvik -n "not __fish_seen_subcommand_from $commands" -l help -d 'Print the help and exit'
complete -c tarvik -n "not __fish_seen_subcommand_from $commands" -l help-all -d "Print the help with every command's options"
complete -c tarvik -n "not __fish_seen_subcommand_from $commands" -l version -d 'Print the version and exit'
complete -c tarvik -n "not __fish_seen_subcommand_from $commands" -a list -d 'Show the servers listening on TCP ports'
complete -c tarvik -n "not __fish_seen_subcommand_from $commands" -a stop -d 'Stop the server on a port, or the servers of a process'
complete -c tarvik -n "not __fish_seen_subcommand_from $commands" -a vitals -d 'Show the machine: CPU, memory, GPU, network, disk, battery, heat'
complete -c tarvik -n "not __fish_seen_subcommand_from $commands" -a doctor -d 'Say why the machine is hot or slow'
complete -c tarvik -n "not __fish_seen_subcommand_from $commands" -a storage -d 'Show the caches that can be cleared and the largest files'
complete -c tarvik -n "not __fish_seen_subcommand_from $commands" -a net -d 'Show the processes moving data'

complete -c tarvik -n "__fish_seen_subcommand_from list vitals doctor" -l interval -x -d 'Seconds between the samples'
complete -c tarvik -n "__fish_seen_subcommand_from list vitals doctor net storage" -l json -d 'Print JSON'
complete -c tarvik -n "__fish_seen_subcommand_from list" -l all -d "Include the system's own listeners"
complete -c tarvik -n "__fish_seen_subcommand_from list" -l probe -d 'Ask each dev server for its HTTP status'
complete -c tarvik -n "__fish_seen_subcommand_from list" -l groups -d 'With --json, print the groups'
complete -c tarvik -n "__fish_seen_subcommand_from stop" -l port -d 'The number is a port'
complete -c tarvik -n "__fish_seen_subcommand_from stop" -l pid -d 'The number is a process id'
complete -c tarvik -n "__fish_seen_subcommand_from stop" -l force -d 'Kill at once'
complete -c tarvik -n "__fish_seen_subcommand_from doctor" -l samples -x -d 'Machine samples to take'
complete -c tarvik -n "__fish_seen_subcommand_from storage; and not __fish_seen_subcommand_from clear trash" -a 'clear trash'
complete -c tarvik -n "__fish_seen_subcommand_from clear" -s y -l yes -d 'Clear without asking'
complete -c tarvik -n "__fish_seen_subcommand_from clear" -F
complete -c tarvik -n "__fish_seen_subcommand_from trash" -F

complete -c tarvik-app -s h -l help -d 'Print the help and exit'
complete -c tarvik-app -s v -l version -d 'Print the version and exit'
complete -c tarvik-app -l render -x -d 'Draw a screen offscreen instead of running'
complete -c tarvik-app -l out -r -F -d 'The PNG file --render writes'
complete -c tarvik-app -l preview -d 'Render the fixed preview machine'
complete -c tarvik-app -l dark -d 'Render in the dark appearance'
complete -c tarvik-app -l size -x -d 'The size of a dashboard render, WIDTHxHEIGHT'
