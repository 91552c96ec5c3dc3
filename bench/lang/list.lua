local start = os.clock()
local total = 0
for round = 0, 19 do
    local head = nil
    for i = 0, 49999 do head = { value = i, next = head } end
    local node = head
    while node ~= nil do
        total = total + node.value
        node = node.next
    end
end
print(total, os.clock() - start)
